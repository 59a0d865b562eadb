#include "ASRSettings.h"
#include "Base64Setting.h"
#include "ClientConnectionSettings.h"
#include "ClientInfoSettings.h"
#include "HotkeySettings.h"
#include "ProfileFile.h"
#include "SelfTestSettings.h"
#include "Settings.h"
#include "TTSSettings.h"
#include "TestHome.h"

#include <QtConcurrent>
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QElapsedTimer>
#include <QTextCodec>
#include <QThread>

#include <atomic>

#include <sys/stat.h>

namespace {
QByteArray settingsFileContents()
{
    QFile file(TestHome::settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QString systemFolder()
{
    return TestHome::path() + QStringLiteral("/system");
}

void writeRaw(const QString& group, const QString& key, const QVariant& value)
{
    Settings raw(group);
    raw.setValue(key, value);
    raw.sync();
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void defaultsWithoutFile();
    void writesOnlyOnChange();
    void badStoredValuesReadAsZero();
    void base64Decode();
    void saveTtsSettingsThreshold();
    void isLocalhost_data();
    void isLocalhost();
    void desktopIdUnderConcurrentFirstRun();
    void noAutomaticSyncFromCreatingThread();
    void concurrentWritersKeepEveryKey();
    void unreadableFileSetAside_data();
    void unreadableFileSetAside();
    void unreadableProfileFileSetAside_data();
    void unreadableProfileFileSetAside();
    void profileFileThatIsNoProfileSetAside_data();
    void profileFileThatIsNoProfileSetAside();
    void probeBesideABusyThreadKeepsTheFile();
    void textIsWrittenAsUtf8();
    void systemWideSettingsAreDefaults();
    void selfTestFileListIsCapped();
    // Last: Qt keeps the system folder it is told for the rest of the process.
    void damagedSystemWideFileIsLeftOut_data();
    void damagedSystemWideFileIsLeftOut();
};

void TestSettings::initTestCase()
{
    // Before the first settings object: Qt reads the system folders once.
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(systemFolder()));
    TestHome::useApplicationIdentity();
}

void TestSettings::init()
{
    TestHome::wipe();
}

void TestSettings::defaultsWithoutFile()
{
    {
        ASRSettings asr;
        QCOMPARE(bool(asr.PunctuationEnabled), false); // build value "false"
        ClientConnectionSettings client;
        QCOMPARE(QString(client.Ip), QStringLiteral("localhost")); // build DefaultServerAddress
        TTSSettings tts;
        QCOMPARE(QString(tts.Voice), TTSSettings::DefaultVoice);
    }
    QVERIFY(!QFile::exists(TestHome::settingsFile()));
}

void TestSettings::writesOnlyOnChange()
{
    {
        HotkeySettings hotkeys;
        hotkeys.HotKey = QStringLiteral("DoubleCtrl"); // equals the default: nothing written
        hotkeys.UseHotkey.ChangeValue(true);
        QVERIFY(!hotkeys.isChanged());
        hotkeys.sync();
    }
    QVERIFY(!settingsFileContents().contains("HotKey"));

    {
        HotkeySettings hotkeys;
        hotkeys.HotKey = QStringLiteral("DoubleCapsLock");
        QVERIFY(hotkeys.isChanged());
        hotkeys.sync();
    }
    QVERIFY(settingsFileContents().contains("HotKey=DoubleCapsLock"));

    const QDateTime before = QFileInfo(TestHome::settingsFile()).lastModified();
    QTest::qWait(20);
    {
        HotkeySettings hotkeys;
        hotkeys.HotKey = QStringLiteral("DoubleCapsLock");
        QVERIFY(!hotkeys.isChanged());
        hotkeys.sync();
    }
    QCOMPARE(QFileInfo(TestHome::settingsFile()).lastModified(), before);
}

void TestSettings::badStoredValuesReadAsZero()
{
    writeRaw(QStringLiteral("ASR"), QStringLiteral("SendingMode"), QStringLiteral("maybe"));
    writeRaw(QStringLiteral("AsrClient"), QStringLiteral("Port"), QStringLiteral("abc"));
    writeRaw(QStringLiteral("TTS"), QStringLiteral("Speed"), QStringLiteral("fast"));
    {
        ASRSettings asr;
        QCOMPARE(bool(asr.SendingMode), false);
        ClientConnectionSettings client;
        QCOMPARE(int(client.Port), 0);
        TTSSettings tts;
        QCOMPARE(double(tts.Speed), 0.0);
        // A junk value is replaced even by the zero value it reads as.
        client.Port = 0;
        QVERIFY(client.Port.isChanged());
        client.sync();
    }
    QVERIFY(settingsFileContents().contains("Port=0"));
}

void TestSettings::base64Decode()
{
    QCOMPARE(Base64Setting::decode(Base64Setting::encode(QStringLiteral("Ольга"))), QStringLiteral("Ольга"));
    QCOMPARE(Base64Setting::decode(QStringLiteral("YQBi")), QStringLiteral("a")); // stops at the zero byte
}

void TestSettings::saveTtsSettingsThreshold()
{
    {
        TTSSettings tts;
        QVERIFY(!tts.saveTtsSettings(TTSSettings::DefaultVoice, true, 1.005));
    }
    QVERIFY(!QFile::exists(TestHome::settingsFile()));
    {
        TTSSettings tts;
        QVERIFY(tts.saveTtsSettings(TTSSettings::DefaultVoice, true, 1.02));
    }
    QVERIFY(settingsFileContents().contains("Speed=1.02"));
}

void TestSettings::isLocalhost_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("local");
    QTest::newRow("padded loopback") << " 127.0.0.1 " << true;
    QTest::newRow("upper case") << "LOCALHOST" << false;
    QTest::newRow("other loopback") << "127.0.0.2" << false;
}

void TestSettings::isLocalhost()
{
    QFETCH(QString, ip);
    QFETCH(bool, local);
    ClientConnectionSettings client;
    client.Ip = ip;
    QCOMPARE(client.isLocalhost(), local);
}

void TestSettings::desktopIdUnderConcurrentFirstRun()
{
    QList<QFuture<QString>> futures;
    for (int i = 0; i < 8; ++i) {
        futures << QtConcurrent::run([] {
            ClientInfoSettings info;
            return info.getOrCreateDesktopId();
        });
    }
    QSet<QString> ids;
    for (auto& future : futures)
        ids.insert(future.result());
    QCOMPARE(ids.size(), 1);
    QCOMPARE(ClientInfoSettings().getOrCreateDesktopId(), *ids.begin());
}

void TestSettings::noAutomaticSyncFromCreatingThread()
{
    // A group object made here but written by another thread must not be
    // flushed behind the writer's back by this thread's event loop.
    Settings shared(QStringLiteral("Shared"));
    QThread* writer = QThread::create([&shared] { shared.setValue(QStringLiteral("FromWorker"), 1); });
    writer->start();
    QVERIFY(writer->wait(TestHome::scaled(5000)));
    delete writer;
    QCoreApplication::processEvents();
    QTest::qWait(TestHome::scaled(50));
    QVERIFY(!settingsFileContents().contains("FromWorker"));
    shared.sync();
    QVERIFY(settingsFileContents().contains("FromWorker=1"));
}

void TestSettings::concurrentWritersKeepEveryKey()
{
    auto writeKeys = [](const QString& prefix) {
        for (int i = 0; i < 50; ++i) {
            Settings group(QStringLiteral("Concurrent"));
            group.setValue(prefix + QString::number(i), i);
            group.sync();
        }
    };
    QFuture<void> a = QtConcurrent::run(writeKeys, QStringLiteral("a"));
    QFuture<void> b = QtConcurrent::run(writeKeys, QStringLiteral("b"));
    a.waitForFinished();
    b.waitForFinished();
    Settings reread(QStringLiteral("Concurrent"));
    QCOMPARE(reread.allKeys().size(), 100);
    QCOMPARE(reread.value(QStringLiteral("b49")).toInt(), 49);
}

void TestSettings::unreadableFileSetAside_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("earlierCopies");
    QTest::addColumn<bool>("setAside");

    const QByteArray fine = "[HotKeys]\nHotKey=DoubleCapsLock\n[TTS]\nSpeed=@Variant(\\0\\0\\0\\x6@\\0\\0\\0\\0\\0\\0\\0)\n";
    // A list of 2^31 - 1 elements: Qt's reader throws std::bad_alloc.
    const QByteArray hugeList = "[HotKeys]\nHotKey=DoubleCapsLock\n[ASR]\nSelectedTheme=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n";
    QTest::newRow("readable file stays") << fine << 0 << false;
    QTest::newRow("huge declared list") << hugeList << 0 << true;
    QTest::newRow("earlier copies are kept") << hugeList << 2 << true;
    QTest::newRow("damaged value in a later group") << QByteArray("[A]\nx=1\n[Z]\ny=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n") << 0 << true;
}

void TestSettings::unreadableFileSetAside()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, earlierCopies);
    QFETCH(bool, setAside);
    const QString path = TestHome::settingsFile();
    QDir().mkpath(QFileInfo(path).path());
    QStringList earlier;
    for (int n = 0; n < earlierCopies; ++n) {
        earlier << path + QStringLiteral(".damaged") + (n ? QStringLiteral(".%1").arg(n) : QString());
        QFile copy(earlier.last());
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write("earlier " + QByteArray::number(n)) > 0);
    }
    const QString neighbour = QFileInfo(path).dir().filePath(QStringLiteral("profile.json"));
    QFile other(neighbour);
    QVERIFY(other.open(QIODevice::WriteOnly) && other.write("{}") == 2);
    other.close();
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    file.close();

    const QString copy = Settings::setAsideUnreadableFile();
    if (!setAside) {
        QVERIFY(copy.isEmpty());
        QCOMPARE(settingsFileContents(), contents);
        QCOMPARE(QString(HotkeySettings().HotKey), QStringLiteral("DoubleCapsLock"));
        QCOMPARE(double(TTSSettings().Speed), 2.0);
        return;
    }
    const QString expected = path + QStringLiteral(".damaged")
        + (earlierCopies ? QStringLiteral(".%1").arg(earlierCopies) : QString());
    QCOMPARE(copy, expected);
    QVERIFY(!QFile::exists(path));
    QFile kept(copy);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), contents);
    for (int n = 0; n < earlierCopies; ++n) {
        QFile previous(earlier[n]);
        QVERIFY(previous.open(QIODevice::ReadOnly));
        QCOMPARE(previous.readAll(), "earlier " + QByteArray::number(n));
    }
    QVERIFY(QFile::exists(neighbour));

    // Every group now reads its defaults, and writes go to a fresh file.
    QCOMPARE(QString(ASRSettings().SelectedTheme), QString());
    QCOMPARE(QString(HotkeySettings().HotKey), QStringLiteral("DoubleCtrl"));
    QVERIFY(Settings::setAsideUnreadableFile().isEmpty());
    writeRaw(QStringLiteral("HotKeys"), QStringLiteral("HotKey"), QStringLiteral("DoubleCapsLock"));
    QCOMPARE(QString(HotkeySettings().HotKey), QStringLiteral("DoubleCapsLock"));
}

void TestSettings::unreadableProfileFileSetAside_data()
{
    QTest::addColumn<QByteArray>("organisation");
    QTest::addColumn<QByteArray>("user");

    const QByteArray organisation = QStringLiteral("[Organisation]\nRegionName=Республика Дагестан\n").toUtf8();
    const QByteArray user = QStringLiteral("[UserInfo]\nUserName=Иванова Анна\n").toUtf8();
    // Qt's reader throws std::bad_alloc for it, at every connection attempt.
    const QByteArray hugeList = "[Organisation]\nRoom=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n";
    QTest::newRow("both readable") << organisation << user;
    QTest::newRow("organisation file damaged") << hugeList << user;
    QTest::newRow("user file damaged") << organisation << QByteArray("[UserInfo]\nUserName=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n");
    QTest::newRow("no files") << QByteArray() << QByteArray();
}

void TestSettings::unreadableProfileFileSetAside()
{
    QFETCH(QByteArray, organisation);
    QFETCH(QByteArray, user);
    QDir().mkpath(ProfileFile::folder());
    QStringList expected;
    const QList<QPair<QString, QByteArray>> files{{ProfileFile::organisationFile(), organisation},
                                                  {ProfileFile::userFile(), user}};
    for (const auto& file : files) {
        if (file.second.isEmpty())
            continue;
        QFile out(file.first);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file.second) == file.second.size());
        if (file.second.contains("@Variant"))
            expected << file.first + QStringLiteral(".damaged");
    }

    QCOMPARE(ProfileFile::setAsideUnreadable(), expected);
    for (const auto& file : files) {
        const bool damaged = file.second.contains("@Variant");
        QCOMPARE(QFile::exists(file.first), !damaged && !file.second.isEmpty());
        if (damaged) {
            QFile kept(file.first + QStringLiteral(".damaged"));
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), file.second);
        }
    }
    // Going on without what was set aside.
    QCOMPARE(ProfileFile(ProfileFile::userFile()).text(QStringLiteral("UserInfo/UserName")),
             user.contains("@Variant") || user.isEmpty() ? QString() : QStringLiteral("Иванова Анна"));
    QVERIFY(ProfileFile::setAsideUnreadable().isEmpty());
}

void TestSettings::profileFileThatIsNoProfileSetAside_data()
{
    QTest::addColumn<QByteArray>("contents");
    const QString name = QStringLiteral("Иванова Анна");
    QTest::newRow("saved as Windows-1251")
        << QByteArray("[UserInfo]\nUserName=" + QTextCodec::codecForName("Windows-1251")->fromUnicode(name) + "\n");
    QTest::newRow("saved as UTF-16")
        << QByteArray("\xFF\xFE") + QTextCodec::codecForName("UTF-16LE")->fromUnicode(QStringLiteral("[UserInfo]\nUserName=") + name);
    QTest::newRow("larger than a profile")
        << QByteArray("[UserInfo]\nUserName=" + name.toUtf8() + "\n") + QByteArray(70 * 1024, ';');
    QTest::newRow("a value longer than a profile's")
        << QByteArray("[UserInfo]\nUserName=") + QString(1025, QChar(0x418)).toUtf8() + '\n';
    QTest::newRow("a FIFO") << QByteArray();
}

// Such a file once counted as a complete profile and sent "������", took
// gigabytes to read, or held the start for 10 s.
void TestSettings::profileFileThatIsNoProfileSetAside()
{
    QFETCH(QByteArray, contents);
    const QString path = ProfileFile::userFile();
    QDir().mkpath(ProfileFile::folder());
    if (contents.isEmpty()) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        // A reader in the program never waits for a writer that will not come.
        QFuture<QString> read = QtConcurrent::run([path] { return ProfileFile(path).text(QStringLiteral("UserInfo/UserName")); });
        if (!QTest::qWaitFor([&read] { return read.isFinished(); }, TestHome::scaled(2000))) {
            QFile release(path);
            release.open(QIODevice::WriteOnly);
            release.close();
            read.waitForFinished();
            QFAIL("reading the profile waits on the FIFO");
        }
        QCOMPARE(read.result(), QString());
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    }

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(ProfileFile::setAsideUnreadable(), QStringList{path + QStringLiteral(".damaged")});
    QVERIFY(timer.elapsed() < TestHome::scaled(2000));
    QVERIFY(!QFileInfo::exists(path));
    if (!contents.isEmpty()) {
        QFile kept(path + QStringLiteral(".damaged"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), contents);
    }
    QCOMPARE(ProfileFile(path).text(QStringLiteral("UserInfo/UserName")), QString());
}

// A probe forked while another thread held one of Qt's locks hung until its
// limit, and the sound file was set aside as damaged (4 of 19 starts).
void TestSettings::probeBesideABusyThreadKeepsTheFile()
{
    const QByteArray contents = "[HotKeys]\nHotKey=DoubleCapsLock\n";
    const QString path = TestHome::settingsFile();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    file.close();
    const QString other = TestHome::path() + QStringLiteral("/busy.ini");
    std::atomic<bool> stop{false};
    QFuture<void> busy = QtConcurrent::run([&] {
        while (!stop)
            QSettings(other, QSettings::IniFormat).value(QStringLiteral("a/b"));
    });
    const auto end = qScopeGuard([&] {
        stop = true;
        busy.waitForFinished();
    });
    for (int n = 0; n < 20; ++n) {
        QElapsedTimer timer;
        timer.start();
        QVERIFY(Settings::setAsideUnreadableFile().isEmpty());
        QVERIFY2(timer.elapsed() < TestHome::scaled(3000), qPrintable(QString::number(timer.elapsed())));
    }
    QCOMPARE(settingsFileContents(), contents);
}

// Prepared and read by people: UTF-8 text, and the escapes of earlier versions still read.
void TestSettings::textIsWrittenAsUtf8()
{
    {
        ASRSettings asr;
        asr.SelectedTheme = QStringLiteral("Общая тема");
        asr.sync();
    }
    QVERIFY2(settingsFileContents().contains(QStringLiteral("SelectedTheme=Общая тема").toUtf8()), settingsFileContents().constData());
    QFile file(TestHome::settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[ASR]\nSelectedTheme=\\x41e\\x431\\x449\\x430\\x44f \\x442\\x435\\x43c\\x430\n");
    file.close();
    QCOMPARE(QString(ASRSettings().SelectedTheme), QStringLiteral("Общая тема"));
}

// An administrator's settings.ini in a folder of XDG_CONFIG_DIRS; the user's own file wins.
void TestSettings::systemWideSettingsAreDefaults()
{
    const QString path = systemFolder() + QStringLiteral("/Orvanta Labs/Scrivora/settings.ini");
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[HotKeys]\nHotKey=DoubleCapsLock\n[ASR]\nSelectedTheme=Общая тема\n").toUtf8());
    file.close();
    QCOMPARE(QString(ASRSettings().SelectedTheme), QStringLiteral("Общая тема"));
    QCOMPARE(QString(HotkeySettings().HotKey), QStringLiteral("DoubleCapsLock"));
    writeRaw(QStringLiteral("HotKeys"), QStringLiteral("HotKey"), QStringLiteral("DoubleCtrl"));
    QCOMPARE(QString(HotkeySettings().HotKey), QStringLiteral("DoubleCtrl"));
    QVERIFY(!settingsFileContents().contains("SelectedTheme"));
}

void TestSettings::selfTestFileListIsCapped()
{
    // Tens of millions declared once froze the window for many seconds.
    writeRaw(QStringLiteral("SelfTest"), QStringLiteral("Files/size"), 50000000);
    writeRaw(QStringLiteral("SelfTest"), QStringLiteral("Files/1/path"), QStringLiteral("/sounds/первый.raw"));
    QTest::ignoreMessage(QtWarningMsg, "Self-test: 50000000 files declared, only the first 1000 are used");
    const QList<SelfTestFile> files = SelfTestSettings().get_Files();
    QCOMPARE(files.size(), SelfTestSettings::MaxFiles);
    QCOMPARE(files.first().path, QStringLiteral("/sounds/первый.raw"));
    QCOMPARE(files.last().path, QString());
}

void TestSettings::damagedSystemWideFileIsLeftOut_data()
{
    QTest::addColumn<QString>("damaged");
    QTest::addColumn<bool>("soundFolderAfterIt");
    // A list declaring 2^31 - 1 values: Qt throws std::bad_alloc in every read of the file.
    QTest::newRow("settings.ini") << "Orvanta Labs/Scrivora/settings.ini" << false;
    QTest::newRow("settings.ini, a sound folder after it") << "Orvanta Labs/Scrivora/settings.ini" << true;
    QTest::newRow("the organisation's file") << "Orvanta Labs.ini" << false;
    QTest::newRow("a FIFO") << "fifo" << true;
}

void TestSettings::damagedSystemWideFileIsLeftOut()
{
    QFETCH(QString, damaged);
    QFETCH(bool, soundFolderAfterIt);
    const QString first = systemFolder() + QStringLiteral("/first");
    const QString second = systemFolder() + QStringLiteral("/second");
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(first + QLatin1Char(':') + second));
    const QString settingsPath = QStringLiteral("/Orvanta Labs/Scrivora/settings.ini");
    QString path = first + QLatin1Char('/') + damaged;
    QVERIFY(QDir().mkpath(first + QStringLiteral("/Orvanta Labs/Scrivora")));
    if (damaged == QLatin1String("fifo")) {
        path = first + settingsPath;
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[ASR]\nSelectedTheme=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n[HotKeys]\nHotKey=Pause\n");
    }
    if (soundFolderAfterIt) {
        QVERIFY(QDir().mkpath(second + QStringLiteral("/Orvanta Labs/Scrivora")));
        QFile file(second + settingsPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[HotKeys]\nHotKey=DoubleCapsLock\n");
    }
    writeRaw(QStringLiteral("ASR"), QStringLiteral("SelectedTheme"), QStringLiteral("Общая тема"));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(Settings::leaveOutUnreadableSystemFiles(), QStringList{path});
    QVERIFY(timer.elapsed() < TestHome::scaled(5000));
    // The user's own values and the defaults serve; the damaged file stays for its administrator.
    QCOMPARE(QString(ASRSettings().SelectedTheme), QStringLiteral("Общая тема"));
    QCOMPARE(QString(HotkeySettings().HotKey),
             soundFolderAfterIt ? QStringLiteral("DoubleCapsLock") : QStringLiteral("DoubleCtrl"));
    QVERIFY(QFileInfo::exists(path));
    QDir(first).removeRecursively();
    QDir(second).removeRecursively();
}

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
