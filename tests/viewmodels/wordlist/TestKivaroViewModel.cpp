#include "AsrManager.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "KivaroViewModel.h"
#include "LocalKivaroManager.h"
#include "LoopbackConnection.h"
#include "TestHome.h"
#include "WebSocketClient.h"
#include "WebSocketWorker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QtTest>

#include <memory>

namespace {
const int Marker = 4242;

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Answers Cancel to every question box that comes up while it lives, and remembers that one came.
class CancelQuestions : public QObject
{
public:
    CancelQuestions() { startTimer(20); }
    bool asked = false;

protected:
    void timerEvent(QTimerEvent*) override
    {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked = true;
            box->button(QMessageBox::Cancel)->click();
        }
    }
};
} // namespace

// The word-list window's model over the recognition link to a fake server:
// what is stored, what the server receives, what the user is told.
class TestKivaroViewModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void save_data();
    void save();
    void failedSaveIsReported();
    void closing_data();
    void closing();

private:
    // The message types the server got for an apply, up to a marker sent after it.
    QList<int> sentBy(const std::function<void()>& action);

    std::unique_ptr<LoopbackConnection> link;
    FakeRecognitionServer* server = nullptr;
    LocalKivaroManager* words = nullptr;
    std::unique_ptr<KivaroViewModel> model;
};

void TestKivaroViewModel::init()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    ConnectionManagerSettings quiet;
    quiet.QuietConnectionEnabled = true;
    quiet.sync();
    link = std::make_unique<LoopbackConnection>();
    server = link->addServer();
    link->offerServers({link->entry(QStringLiteral("A"), server->port())});
    link->build(1000);
    link->start();
    QVERIFY(link->waitForState(ConnectionManager::Ready));
    words = link->worker()->localKivaroManager();
    QVERIFY(words->UpdateWords({"старое", "слово"}));
    const QJsonArray initial{"старое", "слово"};
    const auto lastList = [this] {
        const auto sent = server->messagesOfType(LocalKivaroManager::MessageType);
        return sent.isEmpty() ? QJsonValue() : sent.last().data.toObject().value(QStringLiteral("Words"));
    };
    QTRY_COMPARE_WITH_TIMEOUT(lastList(), QJsonValue(initial), TestHome::scaled(5000));
    model = std::make_unique<KivaroViewModel>(link->worker()->asrManager(), words);
    model->onLoad();
    QCOMPARE(model->get_KivaroWords()->get_Text(), QStringLiteral("старое\nслово"));
}

void TestKivaroViewModel::cleanup()
{
    model.reset();
    link.reset();
}

QList<int> TestKivaroViewModel::sentBy(const std::function<void()>& action)
{
    server->clearReceived();
    action();
    link->worker()->wsClient()->sendJson(Marker, QJsonValue());
    if (!QTest::qWaitFor([this] { return !server->messagesOfType(Marker).isEmpty(); }, TestHome::scaled(5000)))
        return {-1};
    QList<int> types;
    for (const FakeRecognitionServer::Message& message : server->textMessages()) {
        if (message.type == Marker)
            break;
        types << message.type;
    }
    return types;
}

void TestKivaroViewModel::save_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("error");

    const QString refused = "Допустимы только русские слова и разделители: пробелы, перенос строки, точки и запятые";
    QTest::newRow("comma and blank, full stop and line end")
        << "аорта, вена.\r\nЁлка" << QStringList{"аорта", "вена", "Ёлка"} << "";
    QTest::newRow("empty list") << "" << QStringList{} << "";
    QTest::newRow("digit attached") << "аорта1" << QStringList{"старое", "слово"} << refused;
    QTest::newRow("unchanged") << "старое\nслово" << QStringList{"старое", "слово"} << "";
}

void TestKivaroViewModel::save()
{
    QFETCH(QString, text);
    QFETCH(QStringList, stored);
    QFETCH(QString, error);
    const bool unchanged = text == model->get_KivaroWords()->get_Text();
    QSignalSpy canSave(model.get(), &KivaroViewModel::changed_CanSave);
    QSignalSpy told(model.get(), &KivaroViewModel::notifyUser);
    model->get_KivaroWords()->set_Text(text);
    QCOMPARE(model->get_KivaroWords()->get_Error(), error);
    QCOMPARE(model->get_CanSave(), error.isEmpty());
    QCOMPARE(canSave.count(), error.isEmpty() ? 0 : 1);

    bool applied = false;
    const QList<int> sent = sentBy([&] { applied = model->applyCommand(); });
    QCOMPARE(applied, error.isEmpty());
    const bool saves = error.isEmpty() && !unchanged;
    // The list, then the request that stops a running dictation.
    QCOMPARE(sent, saves ? (QList<int>{LocalKivaroManager::MessageType, 1}) : QList<int>{});
    QCOMPARE(told.count(), saves ? 1 : 0);
    if (saves) {
        const auto notification = told.first().first().value<UserNotification>();
        QCOMPARE(notification.message(), QStringLiteral("Список слов успешно обновлён."));
        QCOMPARE(notification.type(), NotificationTypeInformation);
        const QJsonArray received = server->messagesOfType(LocalKivaroManager::MessageType).first().data.toObject()
                                        .value(QStringLiteral("Words")).toArray();
        QCOMPARE(received.toVariantList(), QVariant(stored).toList());
    }
    QCOMPARE(words->GetWords(), stored);
    QCOMPARE(contentOf(words->filePath()), stored.isEmpty() ? QByteArray() : (stored.join('\n') + '\n').toUtf8());
}

void TestKivaroViewModel::failedSaveIsReported()
{
    // Root ignores permissions: a folder in the file's place refuses the write for anyone.
    QVERIFY(QFile::remove(words->filePath()));
    QVERIFY(QDir().mkpath(words->filePath()));
    const QByteArray before = contentOf(words->filePath());

    QSignalSpy told(model.get(), &KivaroViewModel::notifyUser);
    model->get_KivaroWords()->set_Text(QStringLiteral("новое"));
    bool applied = true;
    const QList<int> sent = sentBy([&] { applied = model->applyCommand(); });
    QVERIFY(!applied);
    QCOMPARE(told.count(), 1);
    const auto notification = told.first().first().value<UserNotification>();
    QCOMPARE(notification.title(), QStringLiteral("Мои слова"));
    QCOMPARE(notification.message(), QStringLiteral("Не удалось обновить список слов. Попробуйте снова через некоторое "
                                                    "время или обратитесь к системному администратору."));
    QCOMPARE(notification.type(), NotificationTypeCritical);
    QVERIFY(notification.force());
    // The server has the list all the same; the file is as it was.
    QCOMPARE(sent, (QList<int>{LocalKivaroManager::MessageType, 1}));
    QCOMPARE(contentOf(words->filePath()), before);
    // Nothing was stored: closing still asks.
    CancelQuestions cancel;
    QVERIFY(!model->cancelCommand());
}

void TestKivaroViewModel::closing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("saveFirst");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closes");

    QTest::newRow("unchanged") << "старое\nслово" << false << false << true;
    QTest::newRow("changed: the question, Cancel keeps it open") << "другое" << false << true << false;
    QTest::newRow("saved: closes without asking") << "другое" << true << false << true;
}

void TestKivaroViewModel::closing()
{
    QFETCH(QString, text);
    QFETCH(bool, saveFirst);
    model->get_KivaroWords()->set_Text(text);
    if (saveFirst)
        QVERIFY(model->applyCommand());
    CancelQuestions question;
    QTEST(model->cancelCommand(), "closes");
    QTEST(question.asked, "asked");
}

QTEST_MAIN(TestKivaroViewModel)
#include "TestKivaroViewModel.moc"
