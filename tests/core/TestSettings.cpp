#include "ASRSettings.h"
#include "Base64Setting.h"
#include "ClientConnectionSettings.h"
#include "ClientInfoSettings.h"
#include "HotkeySettings.h"
#include "Settings.h"
#include "TTSSettings.h"
#include "TestHome.h"

#include <QtConcurrent>
#include <QtTest>

#include <QFile>
#include <QSet>
#include <QThread>

namespace {
QByteArray settingsFileContents()
{
    QFile file(TestHome::settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
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
};

void TestSettings::initTestCase()
{
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
    QVERIFY(writer->wait(5000));
    delete writer;
    QCoreApplication::processEvents();
    QTest::qWait(50);
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

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
