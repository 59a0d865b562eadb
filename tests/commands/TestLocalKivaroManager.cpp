#include "AppVariables.h"
#include "LocalKivaroManager.h"
#include "SentFrames.h"
#include "TestHome.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <csignal>
#include <sys/resource.h>

namespace {
QString kivaroFolder()
{
    return AppVariables::sm_stdVars.substitute(QStringLiteral("${AppLocalDataLocation}/Kivaro"));
}

void writeFile(const QByteArray& content)
{
    QDir().mkpath(kivaroFolder());
    QFile file(kivaroFolder() + QStringLiteral("/KivaroWords.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile()
{
    QFile file(kivaroFolder() + QStringLiteral("/KivaroWords.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList sentWords(const SentFrames& sent)
{
    const QList<QJsonValue> data = sent.dataOfType(LocalKivaroManager::MessageType);
    if (data.isEmpty())
        return {QStringLiteral("<nothing sent>")};
    QStringList words;
    for (const QJsonValue& word : data.last().toObject().value(QStringLiteral("Words")).toArray())
        words.append(word.toString());
    return words;
}
} // namespace

class TestLocalKivaroManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void noFileSendsEmptyList();
    void keepsEmptyLinesAndOrder();
    void updateRewritesAndSends();
    void failedWriteIsReportedAndStillSent();
    void failedWriteKeepsTheOldFile();

private:
    WebSocketClient* client = nullptr;
};

void TestLocalKivaroManager::initTestCase()
{
    TestHome::useApplicationIdentity();
}

void TestLocalKivaroManager::init()
{
    TestHome::wipe();
    delete client;
    client = new WebSocketClient(this);
}

void TestLocalKivaroManager::noFileSendsEmptyList()
{
    LocalKivaroManager manager(client);
    SentFrames sent(client);
    QVERIFY(manager.GetWords().isEmpty());
    manager.SendKivaroInfo();
    QCOMPARE(sent.types(), QList<int>{27});
    QCOMPARE(sent.dataOfType(27).first().toObject().value("Words"), QJsonValue(QJsonArray()));
}

void TestLocalKivaroManager::keepsEmptyLinesAndOrder()
{
    writeFile("альфа\n\n beta \nгамма");
    LocalKivaroManager manager(client);
    const QStringList expected{"альфа", "", " beta ", "гамма"};
    QCOMPARE(manager.GetWords(), expected);
    SentFrames sent(client);
    manager.SendKivaroInfo();
    QCOMPARE(sentWords(sent), expected);
}

void TestLocalKivaroManager::updateRewritesAndSends()
{
    LocalKivaroManager manager(client);
    SentFrames sent(client);
    const QStringList words{"один", "два"};
    QVERIFY(manager.UpdateWords(words));
    QCOMPARE(readFile(), QByteArray("один\nдва\n"));
    QCOMPARE(sentWords(sent), words);

    // The same list again is still written and sent.
    QFile::remove(manager.filePath());
    QVERIFY(manager.UpdateWords(words));
    QCOMPARE(readFile(), QByteArray("один\nдва\n"));
    QCOMPARE(sent.dataOfType(27).size(), 2);

    QCOMPARE(LocalKivaroManager(client).GetWords(), words);
}

void TestLocalKivaroManager::failedWriteIsReportedAndStillSent()
{
    // A plain file where the folder should be: nothing can be written.
    QDir().mkpath(QFileInfo(kivaroFolder()).path());
    QFile blocker(kivaroFolder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    LocalKivaroManager manager(client);
    SentFrames sent(client);
    QVERIFY(!manager.UpdateWords({"слово"}));
    QCOMPARE(manager.GetWords(), QStringList{"слово"});
    QCOMPARE(sentWords(sent), QStringList{"слово"});
}

// A write cut short (here by a file size limit, as a full disk would) must
// leave the previous list on disk.
void TestLocalKivaroManager::failedWriteKeepsTheOldFile()
{
    writeFile("old\n");
    LocalKivaroManager manager(client);
    QStringList many;
    for (int i = 0; i < 200; ++i)
        many.append(QStringLiteral("word%1").arg(i));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved64 = manager.UpdateWords(many);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved64);
    QCOMPARE(readFile(), QByteArray("old\n"));
    QCOMPARE(manager.GetWords(), many);
}

QTEST_GUILESS_MAIN(TestLocalKivaroManager)
#include "TestLocalKivaroManager.moc"
