#include "ChildProcess.h"
#include "FakeServerSet.h"
#include "TestHome.h"
#include "TrayHostSession.h"
#include "X11Windows.h"

#include <QtTest>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <algorithm>

#include <memory>
#include <optional>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// The real program in its own process, with its own settings and data folders.
class Client
{
public:
    explicit Client(const QString& folders = home())
    {
        process.setProcessEnvironment(FakeServerSet::clientEnvironment(folders));
        process.collectOutput();
    }

    static QString home() { return TestHome::path() + QStringLiteral("/child"); }

    void start(const QString& program = QStringLiteral(SCRIVORA_BINARY)) { process.start(program, QStringList()); }
    const QString& output() const { return process.output(); }
    // Whether the program ended by itself within the time; it is left running otherwise.
    bool finished(int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (process.state() != QProcess::NotRunning && timer.elapsed() < timeoutMs)
            QTest::qWait(20);
        return process.state() == QProcess::NotRunning;
    }
    // An unexpected code shows the end of the output, where a sanitizer report would be.
    int exitCode(int expected) const
    {
        if (process.exitCode() != expected)
            qWarning().noquote() << output().right(8000);
        return process.exitCode();
    }

    ChildProcess process;
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The log files of the client processes under the test's home.
QStringList logFiles()
{
    return QDir(Client::home() + QStringLiteral("/data/Orvanta Labs/Scrivora/logs"))
        .entryList({QStringLiteral("log_*.log")}, QDir::Files);
}

// This copy's own: the user may be running another on the same display.
std::optional<X11Windows::Window> trayIcon(const QProcess& process)
{
    return X11Windows::trayIcon(QStringLiteral("scrivora"), process.processId());
}

// "Max open files" of a process: its soft and hard limit, as /proc shows them.
QStringList openFilesLimits(qint64 pid)
{
    for (const QByteArray& line : contents(QStringLiteral("/proc/%1/limits").arg(pid)).split('\n')) {
        if (line.startsWith("Max open files"))
            return QString::fromLatin1(line.mid(int(qstrlen("Max open files")))).simplified().split(QLatin1Char(' ')).mid(0, 2);
    }
    return {};
}

// Ended within the time the shutdown protocol allows, workers stopped in
// reverse order of creation, before the event loop ended.
void verifyCleanEnd(Client& client)
{
    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.process.waitToEnd(TestHome::scaled(20000)));
    QVERIFY2(timer.elapsed() < TestHome::scaled(15000), qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(client.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(0), 0);

    const QString& log = client.output();
    const int heartbeat = log.indexOf(QLatin1String("Stop end: ConnectionHeartbeat"));
    const int driver = log.indexOf(QLatin1String("Stop end: ConnectionManager"));
    const int worker = log.indexOf(QLatin1String("Stop end: WebSocketWorker"));
    QVERIFY2(heartbeat >= 0 && driver > heartbeat && worker > driver, qPrintable(log.right(3000)));
    QVERIFY(!log.contains(QLatin1String("did not stop within")));
    QVERIFY(log.indexOf(QLatin1String("Quit app")) > worker);
}

} // namespace

// The program as a user starts it: one copy per user, its tray icon on the
// tray host, its connection to a (fake) recognition server, and its ending
// from the tray menu with every worker stopped.
class TestScrivoraProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsConnectedWithTrayIcon();
    void secondCopyIsRefused_data();
    void secondCopyIsRefused();
    void quitFromTrayMenuStopsWorkers();
    void sessionEndSignalStopsWorkers_data();
    void sessionEndSignalStopsWorkers();
    void unreadableSettingsFileIsSetAside();
    void unknownVerificationIsStrictAndTold();
    void damagedProfileFileIsSetAside();
    void clientFilesAreTheUsersAlone();
    void installedProgramRunsAsBuilt();
    void restartedCopyWaitsForASlowPreviousOne();

private:
    TrayHostSession trayHost;
    std::unique_ptr<FakeServerSet> servers;
    std::unique_ptr<Client> first;
};

void TestScrivoraProcess::initTestCase()
{
    TestHome::wipe();
    QString error;
    QVERIFY2(trayHost.start(&error), qPrintable(error));
    servers = std::make_unique<FakeServerSet>();
    QVERIFY(servers->isListening());
    servers->writeClientSettings(FakeServerSet::clientSettingsFile(Client::home()), true);
    // Started at the desktop's soft limit of descriptors, as from a session that keeps it.
    rlimit descriptors{};
    QVERIFY(getrlimit(RLIMIT_NOFILE, &descriptors) == 0);
    descriptors.rlim_cur = std::min<rlim_t>(descriptors.rlim_max, 1024);
    QVERIFY(setrlimit(RLIMIT_NOFILE, &descriptors) == 0);
    first = std::make_unique<Client>();
    first->start();
    QVERIFY(first->process.waitForStarted(TestHome::scaled(30000)));
}

void TestScrivoraProcess::startsConnectedWithTrayIcon()
{
    QTRY_VERIFY2_WITH_TIMEOUT(first->output().contains(QLatin1String("stateChanged from 9 to 14")), qPrintable(first->output().right(4000)),
                              TestHome::scaled(20000));
    QVERIFY(servers->recognition()->hasClient());
    QTRY_VERIFY_WITH_TIMEOUT(trayIcon(first->process).has_value(), TestHome::scaled(10000));
    // Its soft limit raised to the hard one: its local servers are bounded, the rest needs margin.
    const QStringList limits = openFilesLimits(first->process.processId());
    QCOMPARE(limits.size(), 2);
    QCOMPARE(limits.first(), limits.last());
}

void TestScrivoraProcess::secondCopyIsRefused_data()
{
    QTest::addColumn<bool>("ownFolders");
    QTest::newRow("same session") << false;
    // As su, sudo -u, cron and some remote sessions start it: both once ran, typing every sentence twice.
    QTest::newRow("no runtime folder, another temporary folder") << true;
}

void TestScrivoraProcess::secondCopyIsRefused()
{
    QFETCH(bool, ownFolders);
    Client second;
    if (ownFolders) {
        const QString temporary = TestHome::path() + QStringLiteral("/other-tmp");
        QVERIFY(QDir().mkpath(temporary));
        QProcessEnvironment environment = second.process.processEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.insert(QStringLiteral("TMPDIR"), temporary);
        second.process.setProcessEnvironment(environment);
    }
    second.start();
    std::optional<X11Windows::Window> box;
    QTRY_VERIFY_WITH_TIMEOUT((box = X11Windows::find([&second](const X11Windows::Window& w) {
                                  return w.name == QStringLiteral("Ошибка") && w.instanceName == QLatin1String("scrivora")
                                      && w.viewable && w.pid == second.process.processId();
                              })).has_value(),
                             TestHome::scaled(10000));
    // Written before the box was shown, but read here only as the event loop runs.
    QTRY_VERIFY_WITH_TIMEOUT(second.output().contains(QLatin1String("Another copy is running")),
                             TestHome::scaled(5000));
    // Each copy writes a file of its own, even when both started in one second.
    const QStringList logs = logFiles();
    for (const QProcess* copy : {&first->process, &second.process}) {
        const QString suffix = QStringLiteral("_%1.log").arg(copy->processId());
        QVERIFY2(std::any_of(logs.cbegin(), logs.cend(), [&suffix](const QString& name) { return name.endsWith(suffix); }),
                 qPrintable(logs.join(QLatin1Char(' '))));
    }
    QVERIFY(X11Windows::requestClose(box->id));
    QVERIFY(second.process.waitToEnd(TestHome::scaled(10000)));
    QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(255), 255);
    QCOMPARE(first->process.state(), QProcess::Running);
}

void TestScrivoraProcess::quitFromTrayMenuStopsWorkers()
{
    const std::optional<X11Windows::Window> icon = trayIcon(first->process);
    QVERIFY(icon.has_value());
    X11Windows::click(icon->geometry.center().x(), icon->geometry.center().y(), 3);

    std::optional<X11Windows::Window> menu;
    QTRY_VERIFY_WITH_TIMEOUT((menu = X11Windows::find([](const X11Windows::Window& w) {
                                  return w.instanceName == QLatin1String("scrivora") && w.viewable
                                      && w.topLevelClass == QLatin1String("Scrivora") && w.geometry.height() > 100;
                              })).has_value(),
                             TestHome::scaled(5000));
    QTest::qWait(300); // let the menu paint before the picture is taken
    const QRect shot = menu->geometry.united(icon->geometry).adjusted(-8, -8, 8, 8);
    const QString output = QStringLiteral(SCRIVORA_TEST_OUTPUT);
    QDir().mkpath(output);
    QVERIFY(QGuiApplication::primaryScreen()
                ->grabWindow(0, shot.x(), shot.y(), shot.width(), shot.height())
                .save(output + QStringLiteral("/tray-menu.png")));

    // The last entry, "Выход", by the pointer: keys would be lost while the menu
    // is shown but has not taken the keyboard yet.
    X11Windows::click(menu->geometry.center().x(), menu->geometry.bottom() - 20, 1);
    verifyCleanEnd(*first);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(!servers->recognition()->hasClient(), TestHome::scaled(5000));
}

void TestScrivoraProcess::sessionEndSignalStopsWorkers_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM at logout") << int(SIGTERM);
    QTest::newRow("SIGINT from a terminal") << int(SIGINT);
}

void TestScrivoraProcess::sessionEndSignalStopsWorkers()
{
    QFETCH(int, signalNumber);
    first.reset(); // one copy at a time
    Client client;
    client.start();
    QVERIFY(client.process.waitForStarted(TestHome::scaled(30000)));
    QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains(QLatin1String("stateChanged from 9 to 14")), qPrintable(client.output().right(4000)),
                              TestHome::scaled(20000));
    QVERIFY(servers->recognition()->hasClient());

    ::kill(pid_t(client.process.processId()), signalNumber);
    verifyCleanEnd(client);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(!servers->recognition()->hasClient(), TestHome::scaled(5000));
}

// A value that makes Qt crash in every read of the file (a polygon declaring
// 2^31 - 1 points) once stopped every start.
void TestScrivoraProcess::unreadableSettingsFileIsSetAside()
{
    first.reset();
    const QString path = FakeServerSet::clientSettingsFile(Client::home());
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.write("[ASR]\nSelectedTheme=@Variant(\\0\\0\\0G\\x7f\\xff\\xff\\xff)\n") > 0);
    file.close();
    QFile::remove(path + QStringLiteral(".damaged"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray damaged = file.readAll();
    file.close();

    Client client;
    client.start();
    QVERIFY(client.process.waitForStarted(TestHome::scaled(30000)));
    QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains(QLatin1String("started with defaults")), qPrintable(client.output().right(4000)),
                              TestHome::scaled(10000));
    QFile kept(path + QStringLiteral(".damaged"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), damaged);
    QVERIFY(!QTest::qWaitFor([&client] { return client.process.state() == QProcess::NotRunning; },
                             TestHome::scaled(2000)));

    ::kill(pid_t(client.process.processId()), SIGTERM);
    QVERIFY(client.process.waitToEnd(TestHome::scaled(20000)));
    QCOMPARE(client.process.exitCode(), 0);
}

// A hand-written name that means nothing is said, and taken as the safe choice:
// the plain-text fake balancer is never asked.
void TestScrivoraProcess::unknownVerificationIsStrictAndTold()
{
    first.reset();
    const QString path = FakeServerSet::clientSettingsFile(Client::home());
    QFile::remove(path);
    servers->writeClientSettings(path, true);
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("SSL/SslCertificateVerification"), QStringLiteral("strikt"));
    }
    const int requests = servers->balancerRequests();
    Client client;
    client.start();
    QVERIFY(client.process.waitForStarted(TestHome::scaled(30000)));
    QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains(QLatin1String("[SSL] SslCertificateVerification=strikt is neither "
                                                                   "Strict nor Insecure: Strict is used")),
                              qPrintable(client.output().right(4000)), TestHome::scaled(10000));
    QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains(QLatin1String("stateChanged from 3 to 0")),
                              qPrintable(client.output().right(4000)), TestHome::scaled(20000));
    QCOMPARE(servers->balancerRequests(), requests);
    ::kill(pid_t(client.process.processId()), SIGTERM);
    QVERIFY(client.process.waitToEnd(TestHome::scaled(20000)));
}

// A value that makes Qt throw std::bad_alloc in every read of a profile file
// once ended the client a second after every start, at its first handshake.
void TestScrivoraProcess::damagedProfileFileIsSetAside()
{
    const QString settings = FakeServerSet::clientSettingsFile(Client::home());
    QFile::remove(settings);
    servers->writeClientSettings(settings, true);
    const QString organisation = QFileInfo(settings).path() + QStringLiteral("/Organisation.ini");
    QFile::remove(organisation + QStringLiteral(".damaged"));
    QFile file(organisation);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.write("[Organisation]\nRoom=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n") > 0);
    file.close();
    const QByteArray damaged = contents(organisation);

    Client client;
    client.start();
    QVERIFY(client.process.waitForStarted(TestHome::scaled(30000)));
    QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains(QLatin1String("stateChanged from 9 to 14")),
                              qPrintable(client.output().right(4000)), TestHome::scaled(20000));
    QVERIFY(servers->recognition()->hasClient());
    QVERIFY(client.output().contains(QLatin1String("The profile file could not be read; kept as")));
    QCOMPARE(contents(organisation + QStringLiteral(".damaged")), damaged);
    QVERIFY(!QFile::exists(organisation));
    QVERIFY(!client.finished(TestHome::scaled(2000)));

    ::kill(pid_t(client.process.processId()), SIGTERM);
    QVERIFY(client.process.waitToEnd(TestHome::scaled(20000)));
    QCOMPARE(client.exitCode(0), 0);
    FakeServerSet::writeCompleteProfile(QFileInfo(settings).path());
}

// Logs, settings and profile hold medical and personal data: other local users
// could read them all (folders 0751 and 0755, files 0644).
void TestScrivoraProcess::clientFilesAreTheUsersAlone()
{
    first.reset();
    const QString home = TestHome::path() + QStringLiteral("/fresh");
    QDir(home).removeRecursively();
    // Left by an earlier version: the folder is closed, whatever it holds.
    const QString data = home + QStringLiteral("/data/Orvanta Labs/Scrivora");
    QVERIFY(QDir().mkpath(data + QStringLiteral("/logs")));
    QCOMPARE(::chmod(QFile::encodeName(data).constData(), 0755), 0);
    QSet<QString> earlier;
    QDirIterator before(home, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
    while (before.hasNext())
        earlier.insert(before.next());

    Client client(home);
    client.start();
    QVERIFY(client.process.waitForStarted());
    const QString settings = FakeServerSet::clientSettingsFile(home);
    // The settings file is written once the connection is tried (the desktop's id).
    QTRY_VERIFY2_WITH_TIMEOUT(QFileInfo::exists(settings), qPrintable(client.output().right(4000)), TestHome::scaled(20000));
    ::kill(pid_t(client.process.processId()), SIGTERM);
    QVERIFY(client.process.waitToEnd(TestHome::scaled(20000)));

    QStringList open;
    int made = 0;
    QDirIterator after(home, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    while (after.hasNext()) {
        const QString path = after.next();
        struct stat status;
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
        if (earlier.contains(path) && path != data)
            continue;
        ++made;
        if ((status.st_mode & 077) != 0 || (S_ISDIR(status.st_mode) && (status.st_mode & 0700) != 0700))
            open << QStringLiteral("%1 %2").arg(status.st_mode & 0777, 0, 8).arg(path);
    }
    QVERIFY2(open.isEmpty(), qPrintable(open.join(QLatin1Char('\n'))));
    QVERIFY(QFileInfo(settings).isFile());
    QVERIFY(!QDir(data + QStringLiteral("/logs")).entryList({QStringLiteral("log_*.log")}, QDir::Files).isEmpty());
    QVERIFY(made > 5);
}

// cmake --install into a temporary prefix, as an administrator does: the
// installed program finds its system rules and its autostart helper.
void TestScrivoraProcess::installedProgramRunsAsBuilt()
{
    const QString settings = FakeServerSet::clientSettingsFile(Client::home());
    QFile::remove(settings);
    servers->writeClientSettings(settings, true);
    QTemporaryDir prefix(QDir::tempPath() + QStringLiteral("/installed program XXXXXX"));
    QVERIFY(prefix.isValid());
    ChildProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(CMAKE_COMMAND_PATH),
                {QStringLiteral("--install"), QStringLiteral(SCRIVORA_BUILD_DIR), QStringLiteral("--prefix"), prefix.path()});
    QVERIFY(cmake.waitForFinished(TestHome::scaled(60000)));
    QVERIFY2(cmake.exitCode() == 0, cmake.readAll().constData());

    const QDir root(QDir(prefix.path()).canonicalPath());
    const QDir folder(root.filePath(QStringLiteral("lib/scrivora")));
    for (const char* name : {"scrivora", "autoreplaces.json", "install"})
        QVERIFY2(QFileInfo(folder.filePath(QLatin1String(name))).isFile(), name);
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("install"))).isExecutable());
    QCOMPARE(QFileInfo(root.filePath(QStringLiteral("bin/scrivora"))).canonicalFilePath(),
             folder.filePath(QStringLiteral("scrivora")));
    QVERIFY(QFileInfo(root.filePath(QStringLiteral("share/icons/hicolor/256x256/apps/scrivora.png"))).isFile());
    const QString entry = QString::fromUtf8(contents(root.filePath(QStringLiteral("share/applications/scrivora.desktop"))));
    QVERIFY2(entry.contains(QStringLiteral("\nExec=\"%1\"\n").arg(folder.filePath(QStringLiteral("scrivora")))),
             qPrintable(entry));
    QVERIFY(entry.contains(QLatin1String("\nIcon=scrivora\n")));

    // The manifest lists every file laid out, links included: what an uninstall removes.
    QStringList laidOut;
    QDirIterator files(prefix.path(), QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext())
        laidOut << files.next();
    QStringList listed = QString::fromUtf8(contents(QStringLiteral(SCRIVORA_BUILD_DIR "/install_manifest.txt")))
                             .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    laidOut.sort();
    listed.sort();
    QCOMPARE(listed, laidOut);

    Client client;
    client.start(root.filePath(QStringLiteral("bin/scrivora")));
    QVERIFY(client.process.waitForStarted(TestHome::scaled(30000)));
    QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains(QLatin1String("stateChanged from 9 to 14")),
                              qPrintable(client.output().right(4000)), TestHome::scaled(20000));
    QVERIFY(servers->recognition()->hasClient());
    const QRegularExpression rules(QStringLiteral("System auto-replace rules: [1-9]\\d* read from %1\\n")
                                       .arg(QRegularExpression::escape(folder.filePath(QStringLiteral("autoreplaces.json")))));
    QVERIFY2(rules.match(client.output()).hasMatch(), qPrintable(client.output().left(6000)));
    // What enables the launch page's autostart box.
    QVERIFY(client.output().contains(QStringLiteral("Autostart helper %1 found").arg(folder.filePath(QStringLiteral("install")))));

    ::kill(pid_t(client.process.processId()), SIGTERM);
    verifyCleanEnd(client);

    // The README's uninstall, as written, for this prefix: on the usual install,
    // without reference lists, it once printed two errors.
    QFile readme(QStringLiteral(SCRIVORA_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const int command = text.indexOf(QLatin1String("xargs -d"));
    const int begin = text.lastIndexOf(QLatin1String("```sh\n"), command) + 6;
    QVERIFY(command > 0 && begin > 6);
    QString script = text.mid(begin, text.indexOf(QLatin1String("```"), command) - begin);
    script.replace(QLatin1String("/usr/local"), QLatin1Char('\'') + prefix.path() + QLatin1Char('\''));
    script.replace(QLatin1String("build/install_manifest.txt"), QStringLiteral("'" SCRIVORA_BUILD_DIR "/install_manifest.txt'"));
    ChildProcess uninstall;
    uninstall.start(QStringLiteral("sh"), {QStringLiteral("-c"), script});
    QVERIFY(uninstall.waitToEnd(TestHome::scaled(10000)));
    QCOMPARE(uninstall.readAllStandardError(), QByteArray());
    QCOMPARE(uninstall.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(folder.path()));
    QDirIterator left(prefix.path(), QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY2(!left.hasNext(), qPrintable(left.next()));
}

// The copy that restarts the program may take its workers' stop limits to end
// (a loaded machine makes it slow): the new copy waits and then takes over.
void TestScrivoraProcess::restartedCopyWaitsForASlowPreviousOne()
{
    Client previous;
    previous.start();
    QTRY_VERIFY2_WITH_TIMEOUT(previous.output().contains(QLatin1String("stateChanged from 9 to 14")),
                              qPrintable(previous.output().right(4000)), TestHome::scaled(20000));
    Client restarted;
    QProcessEnvironment environment = restarted.process.processEnvironment();
    environment.insert(QStringLiteral("SCRIVORA_RESTARTED"), QStringLiteral("1"));
    restarted.process.setProcessEnvironment(environment);
    restarted.start();
    QTRY_VERIFY2_WITH_TIMEOUT(restarted.output().contains(QLatin1String("Waiting for the previous copy to end")),
                              qPrintable(restarted.output().right(4000)), TestHome::scaled(20000));
    // Longer than the shortest of those stops, two limits of 5 s.
    QTest::qWait(11000);
    QCOMPARE(restarted.process.state(), QProcess::Running);

    ::kill(pid_t(previous.process.processId()), SIGTERM);
    verifyCleanEnd(previous);
    QTRY_VERIFY2_WITH_TIMEOUT(restarted.output().contains(QLatin1String("stateChanged from 9 to 14")),
                              qPrintable(restarted.output().right(4000)), TestHome::scaled(20000));
    ::kill(pid_t(restarted.process.processId()), SIGTERM);
    verifyCleanEnd(restarted);
}

QTEST_MAIN(TestScrivoraProcess)
#include "TestScrivoraProcess.moc"
