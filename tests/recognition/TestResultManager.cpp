#include "AsrManager.h"
#include "AutoReplaceManager.h"
#include "ExecutableCommandsManager.h"
#include "LaunchSettings.h"
#include "ASRSettings.h"
#include "RecordingTextWriter.h"
#include "ResultManager.h"
#include "TestHome.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <memory>

namespace {
TextResult result(const QString& text, bool isFinal, const QString& commandId = QString())
{
    TextResult r;
    r.setText(text);
    r.setIsFinal(isFinal);
    r.setCommandId(commandId);
    return r;
}

RecognitionModeInfo report(RecognitionMode mode, AsrState state)
{
    RecognitionModeInfo info;
    info.setMode(mode);
    info.setState(state);
    return info;
}

using UserCommandFixtures::command;

constexpr RecognitionMode textMode = RecognitionModeNamespace::Text;
} // namespace

class TestResultManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void partialIsAnnouncedNotTyped();
    void flushTypesThePendingPartialOnce();
    void stoppedDictationDropsThePendingPartial();
    void commandInDictationTypesItsText();
    void commandWhileIdleRunsWithoutTyping();
    void finalResultsFollowTheFocus();
    void backgroundOutputFixesTheWindow();
    void startedResetsFormatting();
    void ignoredResults();

private:
    void startDictation();

    QTemporaryDir work;
    std::unique_ptr<RecordingTextWriter> writer;
    std::unique_ptr<WebSocketClient> client;
    std::unique_ptr<AsrManager> asr;
    std::unique_ptr<UserCommandsManager> userCommands;
    std::unique_ptr<AutoReplaceManager> autoReplace;
    std::unique_ptr<ExecutableCommandsManager> registry;
    std::unique_ptr<ResultManager> results;
};

void TestResultManager::initTestCase()
{
    TestHome::wipe();
    TestHome::useApplicationIdentity();
    QVERIFY(work.isValid());
    QFile document(work.filePath(QStringLiteral("шаблон.txt")));
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.write("Жалоб нет");
    document.close();

    const QString folder = UserCommandsManager::commandsFolder();
    QVERIFY(QDir().mkpath(folder));
    UserCommandFiles::Save(QDir(folder).filePath(QStringLiteral("default.json")), ClientThemeInfo(),
                           {command(UserCommandNamespace::Text, "точка", ".", QString()),
                            command(UserCommandNamespace::FileCopy, "вставить шаблон", document.fileName(), "{file}"),
                            command(UserCommandNamespace::Exe, "запустить", work.filePath("нет такой программы"), "{exe}")});
}

void TestResultManager::init()
{
    LaunchSettings launch;
    launch.OutputToBackground = false;
    launch.sync();
    ASRSettings asrSettings;
    asrSettings.CapitalLetterAfterStart = true;
    asrSettings.sync();

    writer = std::make_unique<RecordingTextWriter>();
    writer->focusedWindow = 101;
    client = std::make_unique<WebSocketClient>();
    asr = std::make_unique<AsrManager>(client.get());
    userCommands = std::make_unique<UserCommandsManager>();
    userCommands->setAsrManager(asr.get());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No system auto-replace rules"));
    userCommands->LoadAll();
    autoReplace = std::make_unique<AutoReplaceManager>();
    autoReplace->set_Managers(asr.get(), userCommands.get());
    registry = std::make_unique<ExecutableCommandsManager>(QList<ExecutableCommandsSource*>{userCommands.get()},
                                                           client.get());
    results = std::make_unique<ResultManager>(client.get(), asr.get(), autoReplace.get(), registry.get());
}

void TestResultManager::cleanup()
{
    results.reset();
    registry.reset();
    autoReplace.reset();
    userCommands.reset();
    asr.reset();
    client.reset();
    writer.reset();
}

void TestResultManager::startDictation()
{
    asr->updateModeStateInfo(report(textMode, Starting));
    results->modeChanged(report(textMode, Started));
    asr->updateModeStateInfo(report(textMode, Started));
}

void TestResultManager::partialIsAnnouncedNotTyped()
{
    startDictation();
    QSignalSpy announced(results.get(), &ResultManager::resultReady);
    results->resultReceived(result("да точка", false));
    results->resultReceived(result("да точка нет", false));
    QCOMPARE(writer->typedTexts(), QStringList());
    results->resultReceived(result("да точка нет", true));
    QCOMPARE(writer->typedTexts(), QStringList{"Да. Нет"});
    QCOMPARE(announced.size(), 3);
    QCOMPARE(announced.at(0), (QVariantList{"Да.", false}));
    QCOMPARE(announced.at(2), (QVariantList{"Да. Нет", true}));
}

void TestResultManager::flushTypesThePendingPartialOnce()
{
    startDictation();
    results->resultReceived(result("первое", true));
    results->resultReceived(result("второе", false));
    QVERIFY(results->getLastResult());
    results->flushResult();
    results->flushResult();
    QCOMPARE(writer->typedTexts(), (QStringList{"Первое", " второе"}));
    QVERIFY(!results->getLastResult());
}

void TestResultManager::stoppedDictationDropsThePendingPartial()
{
    startDictation();
    results->resultReceived(result("старое", false));
    asr->updateModeStateInfo(report(textMode, Stopped));
    results->flushResult();
    QCOMPARE(writer->typedTexts(), QStringList());
}

void TestResultManager::commandInDictationTypesItsText()
{
    startDictation();
    QSignalSpy announced(results.get(), &ResultManager::resultReady);
    results->resultReceived(result("вставить шаблон", false, "{file}"));
    QCOMPARE(writer->typedTexts(), QStringList{" Жалоб нет"});
    QCOMPARE(announced.at(0), (QVariantList{" Жалоб нет", true}));

    QSignalSpy errors(userCommands.get(), &UserCommandsManager::CommandExecutionError);
    results->resultReceived(result("неизвестная", true, "{unknown}"));
    QCOMPARE(writer->typedTexts(), (QStringList{" Жалоб нет", ""}));
    QCOMPARE(errors.size(), 0);
}

void TestResultManager::commandWhileIdleRunsWithoutTyping()
{
    results->modeChanged(report(RecognitionModeNamespace::VoiceActivation, Started));
    QSignalSpy errors(userCommands.get(), &UserCommandsManager::CommandExecutionError);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot start program"));
    results->resultReceived(result("запустить", true, "{exe}"));
    results->resultReceived(result("просто текст", true));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.at(0).at(0).toString().contains(work.filePath("нет такой программы")));
    QCOMPARE(writer->typedTexts(), QStringList());
}

void TestResultManager::finalResultsFollowTheFocus()
{
    startDictation();
    results->resultReceived(result("раз", true));
    writer->focusedWindow = 202;
    results->resultReceived(result("два", true));
    QCOMPARE(writer->texts.at(0).first, 101ul);
    QCOMPARE(writer->texts.at(1).first, 202ul);
}

void TestResultManager::backgroundOutputFixesTheWindow()
{
    LaunchSettings launch;
    launch.OutputToBackground = true;
    launch.sync();
    RecognitionMode text = textMode;
    asr->getTargetModeInfo()->BackupTargetMode(&text, nullptr, nullptr, QString());

    startDictation();
    unsigned long recorded = 0;
    QVERIFY(asr->getTargetModeInfo()->GetTargetHandles(&recorded));
    QCOMPARE(recorded, 101ul);
    writer->focusedWindow = 202;
    results->resultReceived(result("раз", true));
    QCOMPARE(writer->texts.last().first, 101ul);

    // A restart after a dropped link keeps the recorded window.
    asr->updateModeStateInfo(report(textMode, Stopped));
    results->resultReceived(result("никуда", true));
    QCOMPARE(writer->texts.last().first, 0ul);
    startDictation();
    results->resultReceived(result("снова", true));
    QCOMPARE(writer->texts.last().first, 101ul);
}

void TestResultManager::startedResetsFormatting()
{
    startDictation();
    results->resultReceived(result("да", true));
    asr->updateModeStateInfo(report(RecognitionModeNamespace::Off, Started));
    results->resultReceived(result("нет", true));
    QCOMPARE(writer->typedTexts(), (QStringList{"Да", "Нет"}));

    ASRSettings asrSettings;
    asrSettings.CapitalLetterAfterStart = false;
    asrSettings.sync();
    asr->updateModeStateInfo(report(RecognitionModeNamespace::Off, Stopped));
    asr->updateModeStateInfo(report(RecognitionModeNamespace::Off, Started));
    results->resultReceived(result("ещё", true));
    QCOMPARE(writer->typedTexts().last(), QStringLiteral("ещё"));
}

void TestResultManager::ignoredResults()
{
    startDictation();
    results->processResults = 0;
    results->resultReceived(result("тест", true));
    results->processResults = 1;
    results->modeChanged(report(static_cast<RecognitionMode>(7), Started));
    results->resultReceived(result("тест", true));
    results->modeChanged(report(RecognitionModeNamespace::TemplatedForm, Started));
    results->resultReceived(result("тест", true));
    QCOMPARE(writer->typedTexts(), QStringList());
}

QTEST_GUILESS_MAIN(TestResultManager)
#include "TestResultManager.moc"
