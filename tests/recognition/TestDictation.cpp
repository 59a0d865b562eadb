#include "AsrManager.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "KeyRecorderWindow.h"
#include "LoopbackConnection.h"
#include "RecordingDeviceManager.h"
#include "ResultManager.h"
#include "TestHome.h"
#include "TextWriter.h"
#include "TypingQueue.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WebSocketWorker.h"
#include "XHotKeyManager.h"
#include "XTestKeyboard.h"

#include <QtTest>

#include <X11/keysym.h>

#include <algorithm>
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
    void doubleCtrlStopsALongResultAtOnce();

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
    QTRY_VERIFY_WITH_TIMEOUT(link->worker()->asrManager()->isConnected(), TestHome::scaled(5000));

    keyboard->focus(recorder->windowId());
    recorder->clear();
}

void TestDictation::startDictation()
{
    AsrManager* asr = link->worker()->asrManager();
    asr->startRecognition();
    // No mode named: the server chooses.
    QTRY_VERIFY_WITH_TIMEOUT(!server->messagesOfType(1).isEmpty()
                && server->messagesOfType(1).last().data.toObject().value("Type").isNull(), TestHome::scaled(5000));
    server->sendModeChanged(RecognitionModeNamespace::Text, Starting);
    server->sendModeChanged(RecognitionModeNamespace::Text, Started);
    QTRY_COMPARE_WITH_TIMEOUT(asr->currentState(), Started, TestHome::scaled(5000));
}

void TestDictation::onlyFinalTextIsTypedAndCommandsRun()
{
    QTRY_VERIFY_WITH_TIMEOUT(!server->registeredCommandId("поставить отметку").isEmpty(), TestHome::scaled(5000));
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
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("АД сто двадцать.\nЖалоб нет"), TestHome::scaled(10000));
    server->sendResult(QStringLiteral("запятая спит"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("АД сто двадцать.\nЖалоб нет, спит"),
                              TestHome::scaled(10000));

    recorder->clear();
    server->sendResult(QStringLiteral("вставить шаблон"), true, server->registeredCommandId("вставить шаблон"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral(" Жалоб нет.\nАД 120/80"), TestHome::scaled(10000));

    recorder->clear();
    server->sendResult(QStringLiteral("выделить всё"), true, server->registeredCommandId("выделить всё"));
    QTRY_VERIFY_WITH_TIMEOUT(!recorder->presses().isEmpty() && recorder->presses().last().keysym == 'a',
                             TestHome::scaled(5000));
    QVERIFY(recorder->presses().last().state & controlMask);
    QVERIFY(!recorder->presses().last().synthetic);

    server->sendResult(QStringLiteral("поставить отметку"), true, server->registeredCommandId("поставить отметку"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(work.filePath(QStringLiteral("отметка.sh.started"))),
                             TestHome::scaled(5000));
}

void TestDictation::droppedLinkTypesThePendingPartial()
{
    startDictation();
    server->sendResult(QStringLiteral("первая фраза"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("Первая фраза"), TestHome::scaled(10000));
    server->sendResult(QStringLiteral("вторая"), false);
    QTRY_VERIFY_WITH_TIMEOUT(link->worker()->resultManager()->getLastResult(), TestHome::scaled(5000));

    server->disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("Первая фраза вторая"), TestHome::scaled(10000));
    // Dictation resumes on the next server, and the committed partial is not typed again.
    QTRY_COMPARE_WITH_TIMEOUT(link->driver()->getState(), int(ConnectionManager::Ready), TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!backup->messagesOfType(1).isEmpty(), TestHome::scaled(5000));
    QCOMPARE(backup->messagesOfType(1).last().data.toObject().value("Type"), QJsonValue(2));
    backup->sendResult(QStringLiteral("третья"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("Первая фраза вторая третья"), TestHome::scaled(10000));
}

// On a keyboard with no Cyrillic keys every letter of a long result borrows a
// keycode; a double Ctrl in the middle of it toggles once, and typing ends
// within half a second, after a whole word, with the keyboard map as it was.
void TestDictation::doubleCtrlStopsALongResultAtOnce()
{
    QVERIFY(keyboard->setLayout(QStringLiteral("us")));
    XHotKeyManager hotkeys;
    QTRY_VERIFY_WITH_TIMEOUT(hotkeys.IsInitialized(), TestHome::scaled(5000));
    AsrManager* asr = link->worker()->asrManager();
    QSignalSpy activations(&hotkeys, &HotKeyManager::activated);
    connect(&hotkeys, &HotKeyManager::activated, asr, [asr](int hotkeyClass) {
        if (hotkeyClass == int(HotkeyClass::Toggle))
            asr->changeRecognition();
    });
    startDictation();
    const int modeRequests = server->messagesOfType(1).size();
    const QVector<unsigned long> map = keyboard->keyboardMap();

    const QStringList words = QStringLiteral("съешь же ещё этих мягких французских булок да выпей чаю широкая "
                                             "ЭЛЕКТРИФИКАЦИЯ ЮЖНЫХ ГУБЕРНИЙ ДАСТ МОЩНЫЙ ТОЛЧОК ПОДЪЁМУ СЕЛЬСКОГО ХОЗЯЙСТВА")
                                  .split(' ');
    // A window that keeps up takes some 30,000 characters a second: typed
    // whole, this one would outlast the limit below many times over.
    QString result;
    for (int i = 0; result.size() < 100000; ++i)
        result += words[i % words.size()] + QLatin1Char(' ');
    server->sendResult(result.trimmed(), true);
    // The writer types in this thread's event loop, and a wait of Qt Test's runs
    // every step due for its whole length: one pass at a time instead, so that
    // the stop comes while the text is still being typed.
    TypingQueue* queue = TextWriter::Writer->queue();
    QDeadlineTimer begun(TestHome::scaled(10000));
    while (recorder->text().size() < 100 && !begun.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    QVERIFY(recorder->text().size() >= 100);
    QVERIFY(queue->isTyping());

    QSignalSpy idle(queue, &TypingQueue::idle);
    keyboard->doubleTap("Control_L");
    QVERIFY(QTest::qWaitFor([queue] { return !queue->isTyping(); }, TestHome::scaled(10000)));
    // The lent keys go back once the window has read what used them.
    QVERIFY(idle.wait(TestHome::scaled(10000)));
    // From the first Ctrl to the last character, as the window that has the
    // focus read them (on a thread of its own that keeps up, not when this
    // test got round to looking).
    const QList<KeyRecorderWindow::KeyEvent> presses = recorder->presses();
    const auto stop = std::find_if(presses.cbegin(), presses.cend(),
                                   [](const KeyRecorderWindow::KeyEvent& key) { return key.keysym == XK_Control_L; });
    QVERIFY(stop != presses.cend());
    const qint64 latency = presses.last().received - stop->received;
    QVERIFY2(latency <= TestHome::scaled(500),
             qPrintable(QStringLiteral("the last character came %1 ms after the first Ctrl").arg(latency)));

    // Nothing more comes: one toggle, one request for the idle mode.
    QTest::qWait(TestHome::scaled(300));
    QCOMPARE(activations.count(), 1);
    QCOMPARE(server->messagesOfType(1).size(), modeRequests + 1);
    QCOMPARE(server->messagesOfType(1).last().data.toObject().value("Type"), QJsonValue(0));
    const QString typed = recorder->text();
    QVERIFY2(words.contains(typed.split(' ', Qt::SkipEmptyParts).last(), Qt::CaseInsensitive),
             qPrintable(typed.right(30)));
    // The keys lent while Ctrl was pressed on another keyboard device are given back.
    QCOMPARE(keyboard->keyboardMap(), map);
    QVERIFY(keyboard->setLayout(QStringLiteral("us,ru")));
}

QTEST_MAIN(TestDictation)
#include "TestDictation.moc"
