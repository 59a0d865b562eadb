#include "ASRSettings.h"
#include "AsrManager.h"
#include "ClientConnectionSettings.h"
#include "DataMessageProcessor.h"
#include "Exception.h"
#include "FakeHttpServer.h"
#include "SentFrames.h"
#include "TestHome.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

#include <memory>

namespace {
ConnectionStateInfo connectionState(int state, const QString& message = QString())
{
    ConnectionStateInfo info;
    info.setState(state);
    info.setMessage(message);
    return info;
}

QJsonObject themeJson(const QString& id)
{
    return QJsonObject{{"Id", id}, {"Name", id + " name"}, {"Version", "1"}, {"CompositionType", 1}};
}

FakeHttpResponse themesReply(const QJsonArray& themes)
{
    return FakeHttpResponse::json(QJsonDocument(QJsonObject{{"Error", QJsonValue()}, {"Data", themes}}).toJson());
}

void sendModeReport(WebSocketClient* client, int mode, int state)
{
    const QJsonObject data{{"Mode", mode}, {"State", state}, {"Info", ""}};
    client->messageProcessor()->onTextMessageReceived(
        WebSocketConnection::envelope(DataMessageProcessor::ModeChanged, data));
}

QJsonValue modeType(const QJsonValue& command)
{
    return command.toObject().value(QStringLiteral("Type"));
}
} // namespace

class TestAsrManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startWithTextTargetAsksServerToChoose();
    void startWithoutTargetReportsStopping();
    void startWhileDisconnectedNotifies();
    void stopRequestsIdleMode_data();
    void stopRequestsIdleMode();
    void changeStopsFormMode();
    void repeatedReportIsDropped();
    void readyResendsEverything();
    void readyReRequestsFormTarget();
    void disconnectAndFailureReports();
    void themesFetchedOnlyWhenNeeded();
    void themeFetchFailureKeepsList();
    void unknownSelectedThemeKeepsSelection();

private:
    std::unique_ptr<WebSocketClient> client;
    std::unique_ptr<AsrManager> manager;
    std::unique_ptr<SentFrames> sent;
    std::unique_ptr<FakeHttpServer> rest;
};

void TestAsrManager::initTestCase()
{
    TestHome::useApplicationIdentity();
}

void TestAsrManager::init()
{
    TestHome::wipe();
    rest = std::make_unique<FakeHttpServer>();
    rest->setResponse(themesReply({themeJson("t1"), themeJson("t2")}));
    ClientConnectionSettings settings;
    settings.Ip = FakeHttpServer::host();
    settings.RestPort = int(rest->port());
    settings.sync();

    client = std::make_unique<WebSocketClient>();
    manager = std::make_unique<AsrManager>(client.get());
    sent = std::make_unique<SentFrames>(client.get());
}

void TestAsrManager::cleanup()
{
    sent.reset();
    manager.reset();
    client.reset();
    rest.reset();
}

void TestAsrManager::startWithTextTargetAsksServerToChoose()
{
    manager->connectionStateChanged(connectionState(14));
    const RecognitionMode text = RecognitionModeNamespace::Text;
    manager->getTargetModeInfo()->BackupTargetMode(&text, nullptr, nullptr, QString());
    sent->clear();
    QSignalSpy changes(manager.get(), &AsrManager::currentModeOrStateChanged);

    manager->startRecognition();
    QCOMPARE(sent->types(), QList<int>{1});
    QCOMPARE(modeType(sent->dataOfType(1).first()), QJsonValue(QJsonValue::Null));
    QCOMPARE(changes.count(), 0);
}

void TestAsrManager::startWithoutTargetReportsStopping()
{
    manager->connectionStateChanged(connectionState(14));
    manager->getTargetModeInfo()->ResetTargetMode();
    QSignalSpy changes(manager.get(), &AsrManager::currentModeOrStateChanged);
    manager->startRecognition();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().at(0).value<RecognitionMode>(), RecognitionModeNamespace::Off);
    QCOMPARE(changes.first().at(1).value<AsrState>(), Stopping);
    QCOMPARE(manager->getTargetModeInfo()->getTargetMode(), RecognitionModeNamespace::Text);
}

void TestAsrManager::startWhileDisconnectedNotifies()
{
    QStringList errors;
    connect(manager.get(), &AsrManager::errorNotification, this, [&errors](QString& error) { errors << error; });
    manager->startRecognition();
    QCOMPARE(errors, QStringList{"Не удалось подключиться к серверу"});

    manager->connectionStateChanged(connectionState(0, QStringLiteral("Не удалось получить список серверов")));
    manager->startRecognition();
    QCOMPARE(errors.last(), QStringLiteral("Не удалось получить список серверов"));
    QVERIFY(sent->dataOfType(1).isEmpty());
}

void TestAsrManager::stopRequestsIdleMode_data()
{
    QTest::addColumn<bool>("voiceActivation");
    QTest::addColumn<int>("expected");
    QTest::newRow("voice activation") << true << 1;
    QTest::newRow("off") << false << 0;
}

void TestAsrManager::stopRequestsIdleMode()
{
    QFETCH(bool, voiceActivation);
    manager->setIsVoiceActivationEnabled(voiceActivation);
    manager->stopRecognition();
    QCOMPARE(sent->types(), QList<int>{1});
    QTEST(modeType(sent->dataOfType(1).first()).toInt(-1), "expected");
}

void TestAsrManager::changeStopsFormMode()
{
    manager->connectionStateChanged(connectionState(14));
    const RecognitionMode form = RecognitionModeNamespace::TemplatedForm;
    manager->getTargetModeInfo()->BackupTargetMode(&form, nullptr, nullptr, QString());
    sent->clear();
    manager->changeRecognition();
    QCOMPARE(modeType(sent->dataOfType(1).last()), QJsonValue(0));

    sent->clear();
    manager->changeRecognition();
    QCOMPARE(modeType(sent->dataOfType(1).last()), QJsonValue(QJsonValue::Null));
}

void TestAsrManager::repeatedReportIsDropped()
{
    QSignalSpy changes(manager.get(), &AsrManager::currentModeOrStateChanged);
    sendModeReport(client.get(), 2, 0);
    sendModeReport(client.get(), 2, 0);
    sendModeReport(client.get(), 2, 1);
    sendModeReport(client.get(), 9, 1);
    QCOMPARE(changes.count(), 2);
    QCOMPARE(manager->getLastStartedMode(), RecognitionModeNamespace::Text);
}

void TestAsrManager::readyResendsEverything()
{
    ASRSettings settings;
    settings.SelectedTheme = QStringLiteral("t2");
    settings.UsePunctuation = true;
    settings.sync();
    manager->get_Themes(true);

    const RecognitionMode text = RecognitionModeNamespace::Text;
    manager->getTargetModeInfo()->BackupTargetMode(&text, nullptr, nullptr, QString());
    manager->getTargetModeInfo()->UpdateTargetHandles(99);
    QSignalSpy connectedSpy(manager.get(), &AsrManager::connected);
    QList<int> typesAtConnected;
    connect(manager.get(), &AsrManager::connected, this, [&] { typesAtConnected = sent->types(); });
    sent->clear();

    manager->connectionStateChanged(connectionState(14));
    QCOMPARE(connectedSpy.count(), 1);
    QCOMPARE(typesAtConnected, (QList<int>{13, 9}));
    QCOMPARE(sent->types(), (QList<int>{13, 9, 1}));
    QCOMPARE(sent->dataOfType(13).first().toObject(), (QJsonObject{{"SendingMode", true}, {"UsePunctuation", true}}));
    QCOMPARE(sent->dataOfType(9).first().toObject().value("Id"), QJsonValue("t2"));
    QCOMPARE(modeType(sent->dataOfType(1).first()), QJsonValue(2));
    QCOMPARE(manager->getTargetModeInfo()->getWindowHandle(), 0ul);
    QVERIFY(manager->isConnected());
}

void TestAsrManager::readyReRequestsFormTarget()
{
    FormMetadata form;
    form.setKey(QStringLiteral("form-key"));
    const QString element = QStringLiteral("field");
    const RecognitionMode wizard = RecognitionModeNamespace::TemplatedWizardForm;
    manager->getTargetModeInfo()->BackupTargetMode(&wizard, &form, &element, QString());

    manager->connectionStateChanged(connectionState(14));
    QCOMPARE(sent->types(), (QList<int>{13, 119, 106, 105, 120}));
    QCOMPARE(sent->dataOfType(106).first().toObject().value("Key"), QJsonValue("form-key"));
    QCOMPARE(sent->dataOfType(105).first(), QJsonValue("field"));

    manager->getTargetModeInfo()->setFormElement(nullptr);
    sent->clear();
    manager->connectionStateChanged(connectionState(14));
    QCOMPARE(sent->types(), (QList<int>{13, 119, 106, 120}));
}

void TestAsrManager::disconnectAndFailureReports()
{
    const RecognitionMode text = RecognitionModeNamespace::Text;
    manager->getTargetModeInfo()->BackupTargetMode(&text, nullptr, nullptr, QString());
    manager->setEnabled(false);
    QSignalSpy changes(manager.get(), &AsrManager::currentModeOrStateChanged);

    manager->connectionStateChanged(connectionState(1));
    QVERIFY(manager->getEnabled());
    QVERIFY(!manager->isConnected());
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.last().at(1).value<AsrState>(), Starting);

    manager->connectionStateChanged(connectionState(0));
    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.last().at(0).value<RecognitionMode>(), RecognitionModeNamespace::Text);
    QCOMPARE(changes.last().at(1).value<AsrState>(), Stopped);
}

void TestAsrManager::themesFetchedOnlyWhenNeeded()
{
    QCOMPARE(manager->get_Themes(false).size(), 2);
    QCOMPARE(rest->requestCount(), 1);
    QCOMPARE(rest->requests().first().path(), QByteArray("/api/Theme"));
    QCOMPARE(manager->get_Themes(false).size(), 2);
    QCOMPARE(rest->requestCount(), 1);

    rest->setResponse(themesReply({themeJson("t3")}));
    const QList<ClientThemeInfo> forced = manager->get_Themes(true);
    QCOMPARE(rest->requestCount(), 2);
    QCOMPARE(forced.size(), 1);
    QCOMPARE(forced.first().id(), QStringLiteral("t3"));
}

void TestAsrManager::themeFetchFailureKeepsList()
{
    QCOMPARE(manager->get_Themes(false).size(), 2);
    rest->setResponse(FakeHttpResponse::json("{}", 500, "Internal Server Error"));
    QVERIFY_EXCEPTION_THROWN(manager->get_Themes(true), Exception);
    rest->close();
    QCOMPARE(manager->get_Themes(false).size(), 2);
}

void TestAsrManager::unknownSelectedThemeKeepsSelection()
{
    ASRSettings settings;
    settings.SelectedTheme = QStringLiteral("t1");
    settings.sync();
    manager->get_Themes(true);
    QCOMPARE(manager->getSelectedTheme().id(), QStringLiteral("t1"));

    QSignalSpy selected(manager.get(), &AsrManager::selectedThemeChanged);
    manager->updateSelectedThemeInfo(QStringLiteral("missing"));
    QCOMPARE(selected.count(), 1);
    QCOMPARE(manager->getSelectedTheme().id(), QStringLiteral("t1"));

    // A Text target asking for a theme that is not offered leaves the selection alone.
    const RecognitionMode text = RecognitionModeNamespace::Text;
    manager->getTargetModeInfo()->BackupTargetMode(&text, nullptr, nullptr, QStringLiteral("gone"));
    settings.SelectedTheme = QStringLiteral("t2");
    settings.sync();
    manager->get_Themes(true);
    QCOMPARE(manager->getSelectedTheme().id(), QStringLiteral("t1"));
}

QTEST_GUILESS_MAIN(TestAsrManager)
#include "TestAsrManager.moc"
