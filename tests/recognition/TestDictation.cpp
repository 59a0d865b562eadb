#include "AsrManager.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "KeyRecorderWindow.h"
#include "LoopbackConnection.h"
#include "RecordingDeviceManager.h"
#include "ResultManager.h"
#include "TestHome.h"
#include "TextWriter.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WebSocketWorker.h"
#include "XTestKeyboard.h"

#include <QtTest>

#include <memory>

namespace {
constexpr unsigned controlMask = 0x04;

using UserCommandFixtures::command;
} // namespace

// One dictation end to end: the fake balancer and recognition server on
// 127.0.0.1, the client's link, result handling and the X11 writer typing
// into a recorder window that has the focus. The system rules shipped beside
// the program apply.
class TestDictation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup()
    {
        link.reset();
        TextWriter::Cleanup();
    }
    void onlyFinalTextIsTypedAndCommandsRun();
    void droppedLinkTypesThePendingPartial();

private:
    void startDictation();

    QTemporaryDir work;
    std::unique_ptr<XTestKeyboard> keyboard;
    std::unique_ptr<KeyRecorderWindow> recorder;
    std::unique_ptr<LoopbackConnection> link;
    FakeRecognitionServer* server = nullptr;
    FakeRecognitionServer* backup = nullptr;
};

void TestDictation::initTestCase()
{
    TestHome::useApplicationIdentity();
    QVERIFY(work.isValid());
    keyboard = std::make_unique<XTestKeyboard>();
    QVERIFY2(keyboard->isOpen(), "this test needs an X display");
    // A keyboard with Cyrillic keys types without borrowing a keycode per letter.
    QVERIFY(keyboard->setLayout(QStringLiteral("us,ru")));
    recorder = std::make_unique<KeyRecorderWindow>(QRect(60, 80, 400, 160));
    QVERIFY(recorder->isOpen());
}

void TestDictation::init()
{
    TestHome::wipe();
    ConnectionManagerSettings connection;
    connection.QuietConnectionEnabled = true;
    connection.sync();

    const QString document = work.filePath(QStringLiteral("шаблон.txt"));
    QVERIFY(UserCommandFixtures::writeFile(document, "Жалоб нет.\r\nАД 120/80"));
    const QString script = work.filePath(QStringLiteral("отметка.sh"));
    QVERIFY(UserCommandFixtures::writeMarkerScript(script));

    const QString folder = UserCommandsManager::commandsFolder();
    QVERIFY(QDir().mkpath(folder));
    UserCommandFiles::Save(QDir(folder).filePath(QStringLiteral("default.json")), ClientThemeInfo(),
                           {command(UserCommandNamespace::Text, "давление", "АД"),
                            command(UserCommandNamespace::FileCopy, "вставить шаблон", document),
                            command(UserCommandNamespace::Key, "выделить всё", "Ctrl+a"),
                            command(UserCommandNamespace::Exe, "поставить отметку", script)});

    link = std::make_unique<LoopbackConnection>();
    server = link->addServer();
    backup = link->addServer();
    link->offerServers({link->entry("A", server->port(), 0.1), link->entry("B", backup->port(), 0.9)});
    link->build(200);
    link->wireDictation();
    TextWriter::Init();
    link->start();
    QVERIFY(link->waitForState(ConnectionManager::Ready));
    QTRY_VERIFY(link->worker()->asrManager()->isConnected());

    keyboard->focus(recorder->windowId());
    recorder->clear();
}

void TestDictation::startDictation()
{
    AsrManager* asr = link->worker()->asrManager();
    asr->startRecognition();
    // No mode named: the server chooses.
    QTRY_VERIFY(!server->messagesOfType(1).isEmpty()
                && server->messagesOfType(1).last().data.toObject().value("Type").isNull());
    server->sendModeChanged(RecognitionModeNamespace::Text, Starting);
    server->sendModeChanged(RecognitionModeNamespace::Text, Started);
    QTRY_COMPARE(asr->currentState(), Started);
}

void TestDictation::onlyFinalTextIsTypedAndCommandsRun()
{
    QTRY_VERIFY(!server->registeredCommandId("поставить отметку").isEmpty());
    // Text commands stay on the client.
    QVERIFY(server->registeredCommandId("давление").isEmpty());
    startDictation();
    emit link->capture()->SoundAvailable(QByteArray("pcm-1"));
    emit link->capture()->SoundAvailable(QByteArray("pcm-2"));
    QVERIFY(server->waitForBinaryMessages(2));
    QCOMPARE(server->binaryMessages(), (QList<QByteArray>{"pcm-1", "pcm-2"}));

    server->sendResult(QStringLiteral("давление"), false);
    server->sendResult(QStringLiteral("давление сто двадцать точка"), false);
    server->sendResult(QStringLiteral("давление сто двадцать точка новая строка жалоб нет"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("АД сто двадцать.\nЖалоб нет"), 10000);
    server->sendResult(QStringLiteral("запятая спит"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("АД сто двадцать.\nЖалоб нет, спит"), 10000);

    recorder->clear();
    server->sendResult(QStringLiteral("вставить шаблон"), true, server->registeredCommandId("вставить шаблон"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral(" Жалоб нет.\nАД 120/80"), 10000);

    recorder->clear();
    server->sendResult(QStringLiteral("выделить всё"), true, server->registeredCommandId("выделить всё"));
    QTRY_VERIFY(!recorder->presses().isEmpty() && recorder->presses().last().keysym == 'a');
    QVERIFY(recorder->presses().last().state & controlMask);
    QVERIFY(!recorder->presses().last().synthetic);

    server->sendResult(QStringLiteral("поставить отметку"), true, server->registeredCommandId("поставить отметку"));
    QTRY_VERIFY(QFileInfo::exists(work.filePath(QStringLiteral("отметка.sh.started"))));
}

void TestDictation::droppedLinkTypesThePendingPartial()
{
    startDictation();
    server->sendResult(QStringLiteral("первая фраза"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("Первая фраза"), 10000);
    server->sendResult(QStringLiteral("вторая"), false);
    QTRY_VERIFY(link->worker()->resultManager()->getLastResult());

    server->disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("Первая фраза вторая"), 10000);
    // Dictation resumes on the next server, and the committed partial is not typed again.
    QTRY_COMPARE(link->driver()->getState(), int(ConnectionManager::Ready));
    QTRY_VERIFY(!backup->messagesOfType(1).isEmpty());
    QCOMPARE(backup->messagesOfType(1).last().data.toObject().value("Type"), QJsonValue(2));
    backup->sendResult(QStringLiteral("третья"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("Первая фраза вторая третья"), 10000);
}

QTEST_MAIN(TestDictation)
#include "TestDictation.moc"
