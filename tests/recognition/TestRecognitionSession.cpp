#include "ASRSettings.h"
#include "AsrManager.h"
#include "AutoReplaceManager.h"
#include "ClientConnectionSettings.h"
#include "EventLoopProbe.h"
#include "Exception.h"
#include "ExecutableCommandsManager.h"
#include "FakeHttpServer.h"
#include "LaunchSettings.h"
#include "RecordingTextWriter.h"
#include "ResultManager.h"
#include "SentFrames.h"
#include "StayingProgram.h"
#include "TestHome.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSemaphore>

#include <atomic>
#include <memory>

namespace {
constexpr RecognitionMode textMode = RecognitionModeNamespace::Text;

FakeHttpResponse themesReply(const QStringList& ids)
{
    QJsonArray themes;
    for (const QString& id : ids)
        themes.append(QJsonObject{{"Id", id}, {"Name", id + " name"}});
    return FakeHttpResponse::json(QJsonDocument(QJsonObject{{"Error", QJsonValue()}, {"Data", themes}}).toJson());
}

RecognitionModeInfo report(RecognitionMode mode, AsrState state)
{
    RecognitionModeInfo info;
    info.setMode(mode);
    info.setState(state);
    return info;
}

ConnectionStateInfo connectionState(int state, const QString& message = QString())
{
    ConnectionStateInfo info;
    info.setState(state);
    info.setMessage(message);
    return info;
}

TextResult result(const QString& text, bool isFinal, const QString& commandId = QString())
{
    TextResult r;
    r.setText(text);
    r.setIsFinal(isFinal);
    r.setCommandId(commandId);
    return r;
}

// The session as the program wires it: a REST server offering themes t1 and
// t2, result handling typing into a recording writer.
struct Session
{
    Session()
    {
        rest.setResponse(themesReply({"t1", "t2"}));
        ClientConnectionSettings settings;
        settings.Ip = FakeHttpServer::host();
        settings.RestPort = int(rest.port());
        settings.sync();
        writer.focusedWindow = 101;
        userCommands.setAsrManager(&asr);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No system auto-replace rules"));
        userCommands.LoadAll();
        autoReplace.set_Managers(&asr, &userCommands);
        sent.clear();
    }
    void startDictation()
    {
        asr.updateModeStateInfo(report(textMode, Starting));
        results.modeChanged(report(textMode, Started));
        asr.updateModeStateInfo(report(textMode, Started));
    }
    QJsonValue requestedMode() const
    {
        return sent.dataOfType(1).value(0, QJsonObject{{"Type", "none"}}).toObject().value("Type");
    }

    FakeHttpServer rest;
    RecordingTextWriter writer;
    WebSocketClient client;
    SentFrames sent{&client};
    AsrManager asr{&client};
    UserCommandsManager userCommands;
    AutoReplaceManager autoReplace;
    ExecutableCommandsManager registry{{&userCommands}, &client};
    ResultManager results{&client, &asr, &autoReplace, &registry};
};
} // namespace

// Session state and result handling; connecting, mode reports and dictation
// end to end are covered by tests/connection and TestDictation.
class TestRecognitionSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::useApplicationIdentity(); }
    void init();
    void cleanup()
    {
        s.reset();
        qputenv("PATH", originalPath);
    }
    void startWhileDisconnectedAndToggle();
    void unconfirmedStopLetsTheToggleStart();
    void failedThemeFetchKeepsTheList();
    void themeFetchHoldsNoLock();
    void targetCopiesSurviveConcurrentChanges();
    void stoppedDictationDropsThePendingPartial();
    void modeReportsInAFloodAreCounted();
    void commandWhileIdleRunsWithoutTyping();
    void outputWindow();
    void documentKeepsItsPlace();
    void stopDropsWhatWaitsForADocument();
    void quitWhileReadingADocument();

private:
    // Puts a stand-in unzip first on PATH for the rest of the case.
    void slowUnzip(const QByteArray& script);

    QTemporaryDir work;
    QByteArray originalPath = qgetenv("PATH");
    std::unique_ptr<Session> s;
};

void TestRecognitionSession::init()
{
    TestHome::wipe();
    const QString folder = UserCommandsManager::commandsFolder();
    QVERIFY(QDir().mkpath(folder));
    UserCommandFiles::Save(QDir(folder).filePath(QStringLiteral("default.json")), ClientThemeInfo(),
                           {UserCommandFixtures::command(UserCommandNamespace::Text, "точка", "."),
                            UserCommandFixtures::command(UserCommandNamespace::Exe, "запустить",
                                                         work.filePath("нет такой программы"), "{exe}"),
                            UserCommandFixtures::command(UserCommandNamespace::FileCopy, "вставить шаблон",
                                                         work.filePath("шаблон.odt"), "{doc}")});
    QVERIFY(UserCommandFixtures::writeFile(work.filePath("шаблон.odt"), "read by the stand-in unzip"));
    s = std::make_unique<Session>();
}

void TestRecognitionSession::slowUnzip(const QByteArray& script)
{
    const QString bin = work.filePath("bin");
    QVERIFY(QDir().mkpath(bin));
    UserCommandFixtures::installUnzip(bin, script, QStringLiteral("документ"));
}

void TestRecognitionSession::startWhileDisconnectedAndToggle()
{
    QStringList errors;
    connect(&s->asr, &AsrManager::errorNotification, this, [&errors](QString& error) { errors << error; });
    s->asr.startRecognition();
    s->asr.connectionStateChanged(connectionState(0, QStringLiteral("Не удалось получить список серверов")));
    s->asr.startRecognition();
    // Connected, waiting for the theme window: not a connection failure.
    s->asr.connectionStateChanged(connectionState(13));
    s->asr.startRecognition();
    QCOMPARE(errors, (QStringList{"Не удалось подключиться к серверу", "Не удалось получить список серверов",
                                  "Сначала выберите тему распознавания в окне «Выбор темы»."}));
    QCOMPARE(s->sent.types(), QList<int>());

    // The toggle follows what the monitor shows, not the target: a form
    // target whose dictation is not running starts; running dictation stops.
    s->asr.connectionStateChanged(connectionState(14));
    const RecognitionMode templated = RecognitionModeNamespace::TemplatedForm;
    s->asr.getTargetModeInfo()->BackupTargetMode(&templated, nullptr, nullptr, QString());
    s->sent.clear();
    s->asr.changeRecognition();
    QCOMPARE(s->requestedMode(), QJsonValue(QJsonValue::Null));
    // Also while the server stops it on its own.
    const QList<QList<AsrState>> running{{Starting}, {Started}, {Started, Stopping}};
    for (const QList<AsrState>& reports : running) {
        s->asr.updateModeStateInfo(report(templated, Stopped));
        for (const AsrState state : reports)
            s->asr.updateModeStateInfo(report(templated, state));
        s->sent.clear();
        s->asr.changeRecognition();
        QCOMPARE(s->requestedMode(), QJsonValue(0));
    }
    s->asr.updateModeStateInfo(report(templated, Stopped));
    s->sent.clear();
    s->asr.changeRecognition();
    QCOMPARE(s->requestedMode(), QJsonValue(QJsonValue::Null));
}

// The client ends dictation itself (a microphone that fails) and the server
// never confirms it (the link dropped, a slow server): the next toggle starts.
void TestRecognitionSession::unconfirmedStopLetsTheToggleStart()
{
    s->asr.connectionStateChanged(connectionState(14));
    s->startDictation();
    s->sent.clear();
    s->asr.stopRecognition();
    QCOMPARE(s->requestedMode(), QJsonValue(0));

    s->sent.clear();
    s->asr.changeRecognition();
    QCOMPARE(s->requestedMode(), QJsonValue(QJsonValue::Null));
    // Started again as confirmed: the toggle stops it.
    s->startDictation();
    s->sent.clear();
    s->asr.changeRecognition();
    QCOMPARE(s->requestedMode(), QJsonValue(0));
}

void TestRecognitionSession::failedThemeFetchKeepsTheList()
{
    QCOMPARE(s->asr.get_Themes(false).size(), 2);
    QCOMPARE(s->asr.get_Themes(false).size(), 2);
    QCOMPARE(s->rest.requestCount(), 1);
    s->rest.setResponse(FakeHttpResponse::json("{}", 500, "Internal Server Error"));
    QVERIFY_EXCEPTION_THROWN(s->asr.get_Themes(true), Exception);
    QCOMPARE(s->asr.get_Themes(false).size(), 2);
}

// The fetch can take as long as the REST limit; the GUI must not wait for it.
void TestRecognitionSession::themeFetchHoldsNoLock()
{
    QSemaphore reply;
    s->rest.setHandler([&reply](const FakeHttpRequest&) {
        reply.tryAcquire(1, TestHome::scaled(10000));
        return themesReply({"t1"});
    });
    QThread* fetcher = QThread::create([this] { s->asr.get_Themes(true); });
    fetcher->start();
    QTRY_COMPARE_WITH_TIMEOUT(s->rest.requestCount(), 1, TestHome::scaled(5000));
    QElapsedTimer timer;
    timer.start();
    s->asr.getSelectedTheme();
    s->asr.updateSelectedThemeInfo(QStringLiteral("t1"));
    QVERIFY(timer.elapsed() < TestHome::scaled(2000));
    reply.release();
    QVERIFY(fetcher->wait(TestHome::scaled(10000)));
    delete fetcher;
}

// The driver's thread reads the target for every audio buffer while the GUI
// and form threads replace it; the copies handed out must stay whole.
void TestRecognitionSession::targetCopiesSurviveConcurrentChanges()
{
    TargetModeInfo target;
    std::atomic<bool> stop{false};
    QThread* writer = QThread::create([&] {
        const RecognitionMode wizard = RecognitionModeNamespace::TemplatedWizardForm;
        for (int i = 0; !stop.load(); ++i) {
            FormMetadata changed;
            changed.setKey(QStringLiteral("form"));
            changed.setThemeId(QString::number(i));
            const QString element = QStringLiteral("e%1").arg(i);
            target.BackupTargetMode(&wizard, &changed, &element, QString());
            target.ResetTargetMode();
        }
    });
    writer->start();
    int torn = 0;
    for (int i = 0; i < 5000; ++i) {
        std::optional<FormMetadata> copy;
        std::optional<QString> element;
        target.getTargetModeInfo(&copy, &element);
        if (copy && (copy->key() != QStringLiteral("form") || element.value_or(QString()) != "e" + copy->themeId()))
            ++torn;
    }
    stop.store(true);
    writer->wait();
    delete writer;
    QCOMPARE(torn, 0);
}

void TestRecognitionSession::stoppedDictationDropsThePendingPartial()
{
    s->startDictation();
    s->results.resultReceived(result("старое", false));
    s->asr.updateModeStateInfo(report(textMode, Stopped));
    s->results.flushResult();
    QCOMPARE(s->writer.typedTexts(), QStringList());
}

namespace {
QtMessageHandler previousHandler = nullptr;
int modeLines = 0;
void countModeLines(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("Mode changed")))
        ++modeLines;
    previousHandler(type, context, message);
}
} // namespace

// A server answers every form a local program opens with a stop: the log keeps
// a few of those reports, and the state follows every one.
void TestRecognitionSession::modeReportsInAFloodAreCounted()
{
    modeLines = 0;
    previousHandler = qInstallMessageHandler(countModeLines);
    for (int i = 0; i < 500; ++i)
        s->asr.updateModeStateInfo(report(textMode, i % 2 ? Stopped : Started));
    qInstallMessageHandler(previousHandler);
    QVERIFY2(modeLines <= 20, qPrintable(QString::number(modeLines)));
    QVERIFY(!s->asr.isDictationShown());
}

void TestRecognitionSession::commandWhileIdleRunsWithoutTyping()
{
    s->results.modeChanged(report(RecognitionModeNamespace::VoiceActivation, Started));
    QSignalSpy errors(&s->userCommands, &UserCommandsManager::CommandExecutionError);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot start program"));
    s->results.resultReceived(result("запустить", true, "{exe}"));
    s->results.resultReceived(result("неизвестная", true, "{unknown}"));
    s->results.resultReceived(result("просто текст", true));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.at(0).at(0).toString().contains(work.filePath("нет такой программы")));
    QCOMPARE(s->writer.typedTexts(), QStringList());
}

void TestRecognitionSession::outputWindow()
{
    s->startDictation();
    s->results.resultReceived(result("раз", true));
    s->writer.focusedWindow = 202;
    s->results.resultReceived(result("два", true));
    QCOMPARE(s->writer.texts.at(0).first, 101ul);
    QCOMPARE(s->writer.texts.at(1).first, 202ul);

    // Output to the background: the window focused at the start keeps the text, also after a restart.
    LaunchSettings launch;
    launch.OutputToBackground = true;
    launch.sync();
    s->writer.focusedWindow = 101;
    s->asr.getTargetModeInfo()->BackupTargetMode(&textMode, nullptr, nullptr, QString());
    for (const char* text : {"три", "снова"}) {
        s->asr.updateModeStateInfo(report(textMode, Stopped));
        s->startDictation();
        s->writer.focusedWindow = 202;
        s->results.resultReceived(result(QString::fromUtf8(text), true));
        QCOMPARE(s->writer.texts.last().first, 101ul);
    }
}

// A document that takes a while to read: the event loop goes on meanwhile,
// and its text is typed where the command came among the results.
void TestRecognitionSession::documentKeepsItsPlace()
{
    slowUnzip("sleep 1");
    s->startDictation();
    EventLoopProbe probe;
    s->results.resultReceived(result("раз", true));
    s->results.resultReceived(result("вставить шаблон", true, "{doc}"));
    s->results.resultReceived(result("два", false));
    s->results.resultReceived(result("два", true));
    s->results.resultReceived(result("вставить шаблон", true, "{doc}"));
    s->results.resultReceived(result("три", true));
    QTRY_COMPARE_WITH_TIMEOUT(s->writer.typedTexts().size(), 5, TestHome::scaled(10000));
    QCOMPARE(s->writer.typedTexts(), (QStringList{"Раз", " документ\r", " два", " документ\r", " три"}));
    QVERIFY2(probe.longestStall() < TestHome::scaled(500), qPrintable(QString::number(probe.longestStall())));
}

// A stop drops the document's text and what waits behind it, commands included.
void TestRecognitionSession::stopDropsWhatWaitsForADocument()
{
    slowUnzip("sleep 1");
    QSignalSpy errors(&s->userCommands, &UserCommandsManager::CommandExecutionError);
    s->startDictation();
    s->results.resultReceived(result("вставить шаблон", true, "{doc}"));
    s->results.resultReceived(result("после", true));
    s->results.resultReceived(result("запустить", true, "{exe}"));
    s->asr.updateModeStateInfo(report(textMode, Stopping));
    s->asr.updateModeStateInfo(report(textMode, Stopped));

    // The next dictation waits for nothing; its document is read after the dropped one.
    s->startDictation();
    s->results.resultReceived(result("снова", true));
    QCOMPARE(s->writer.typedTexts(), QStringList{"Снова"});
    s->results.resultReceived(result("вставить шаблон", true, "{doc}"));
    QTRY_COMPARE_WITH_TIMEOUT(s->writer.typedTexts(), (QStringList{"Снова", " документ\r"}), TestHome::scaled(10000));
    QCOMPARE(errors.size(), 0);
}

// Quitting while unzip runs ends it at once.
void TestRecognitionSession::quitWhileReadingADocument()
{
    const QString pidFile = work.filePath("unzip.pid");
    slowUnzip(StayingProgram::script(pidFile));
    s->startDictation();
    EventLoopProbe probe;
    s->results.resultReceived(result("вставить шаблон", true, "{doc}"));
    const pid_t unzip = StayingProgram::waitForPid(pidFile, TestHome::scaled(10000));
    QVERIFY(unzip > 0);
    QVERIFY(StayingProgram::isRunning(unzip));

    const qint64 quitting = EventLoopProbe::timed([&] { s.reset(); });
    QVERIFY2(quitting < TestHome::scaled(1000), qPrintable(QString::number(quitting)));
    QVERIFY2(probe.longestStall() < TestHome::scaled(1000), qPrintable(QString::number(probe.longestStall())));
    QVERIFY(!StayingProgram::isRunning(unzip));
}

QTEST_GUILESS_MAIN(TestRecognitionSession)
#include "TestRecognitionSession.moc"
