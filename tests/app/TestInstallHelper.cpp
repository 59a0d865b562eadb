#include "ChildProcess.h"
#include "TestHome.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

const QString Helper = QStringLiteral(SCRIVORA_INSTALL_HELPER);

const QByteArray SystemEntry = "[Desktop Entry]\nType=Application\nName=Quillora Client\nExec=/opt/scrivora/scrivora\n";

} // namespace

// The "install" helper beside the program, as the launch page runs it, against
// private configuration folders: the user's (XDG_CONFIG_HOME) and two system
// ones (XDG_CONFIG_DIRS) where an administrator may have put an entry.
class TestInstallHelper : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void autostartEntry_data();
    void autostartEntry();
    void entryStartsTheProgramBesideTheHelper();

private:
    // The exit code of one run.
    int run(const QString& argument);
    QString userEntry() const { return home->filePath(QStringLiteral("config/autostart/scrivora.desktop")); }

    std::unique_ptr<QTemporaryDir> home;
    QString configHome;
};

void TestInstallHelper::init()
{
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    configHome = home->filePath(QStringLiteral("config"));
}

int TestInstallHelper::run(const QString& argument)
{
    ChildProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home->path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    environment.insert(QStringLiteral("XDG_CONFIG_DIRS"),
                       home->filePath(QStringLiteral("xdg-first")) + QLatin1Char(':') + home->filePath(QStringLiteral("xdg")));
    helper.setProcessEnvironment(environment);
    helper.start(Helper, {argument});
    if (!helper.waitForFinished(TestHome::scaled(10000)) || helper.exitStatus() != QProcess::NormalExit)
        return -1;
    return helper.exitCode();
}

void TestInstallHelper::autostartEntry_data()
{
    // The system entry in the second system folder; empty: none.
    QTest::addColumn<QByteArray>("systemEntry");
    // Each step an argument, or "query=<exit code expected>"; the others must succeed.
    QTest::addColumn<QStringList>("steps");
    // What is left in the user's folder: "none", "on" or "hidden".
    QTest::addColumn<QString>("left");

    QTest::newRow("nothing: off") << QByteArray() << QStringList{"query=1"} << "none";
    QTest::newRow("on, then off again")
        << QByteArray() << QStringList{"autorun", "query=0", "autorun", "query=0", "noautorun", "query=1", "noautorun", "query=1"}
        << "none";
    QTest::newRow("an administrator's entry: on; off for this user only")
        << SystemEntry << QStringList{"query=0", "noautorun", "query=1", "autorun", "query=0", "noautorun"} << "hidden";
    QTest::newRow("an administrator's entry switched off") << SystemEntry + "Hidden=true\n"
                                                           << QStringList{"query=1", "noautorun", "query=1"} << "none";
    QTest::newRow("relative XDG_CONFIG_HOME: the default folder") << QByteArray() << QStringList{"relative", "autorun", "query=0"}
                                                                   << "on";
    QTest::newRow("unknown argument") << QByteArray() << QStringList{"frobnicate=2", "query=1"} << "none";
}

void TestInstallHelper::autostartEntry()
{
    QFETCH(QByteArray, systemEntry);
    QFETCH(QStringList, steps);
    QFETCH(QString, left);
    if (!systemEntry.isEmpty()) {
        const QString folder = home->filePath(QStringLiteral("xdg/autostart"));
        QVERIFY(QDir().mkpath(folder));
        QFile entry(folder + QStringLiteral("/scrivora.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly) && entry.write(systemEntry) == systemEntry.size());
    }
    for (const QString& step : steps) {
        if (step == QLatin1String("relative")) {
            // Not valid as XDG_CONFIG_HOME: ~/.config is used.
            configHome = QStringLiteral("config");
            continue;
        }
        const QString argument = step.section(QLatin1Char('='), 0, 0);
        const int expected = step.contains(QLatin1Char('=')) ? step.section(QLatin1Char('='), 1).toInt() : 0;
        QVERIFY2(run(argument) == expected, qPrintable(step));
    }
    QFile entry(userEntry());
    if (left == QLatin1String("none")) {
        QVERIFY(!entry.exists());
        QVERIFY(!QFile::exists(home->filePath(QStringLiteral(".config/autostart/scrivora.desktop"))));
        return;
    }
    if (configHome == QLatin1String("config"))
        entry.setFileName(home->filePath(QStringLiteral(".config/autostart/scrivora.desktop")));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    QVERIFY2(text.startsWith("[Desktop Entry]\n"), text.constData());
    QVERIFY(text.contains(left == QLatin1String("hidden") ? "\nHidden=true\n" : "\nHidden=false\n"));
    // Nothing but the entry is left behind.
    QCOMPARE(QFileInfo(entry).dir().entryList(QDir::Files | QDir::Hidden), QStringList{"scrivora.desktop"});
}

// The program beside the helper, quoted so that blanks and special characters
// in the folder survive the desktop's parsing of Exec.
void TestInstallHelper::entryStartsTheProgramBesideTheHelper()
{
    const QString folder = home->filePath(QStringLiteral("Программы $HOME \"x\" 100%"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(Helper, folder + QStringLiteral("/install")));
    ChildProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    helper.setProcessEnvironment(environment);
    helper.start(folder + QStringLiteral("/install"), {QStringLiteral("autorun")});
    QVERIFY(helper.waitForFinished(TestHome::scaled(10000)));
    QCOMPARE(helper.exitCode(), 0);

    QFile entry(userEntry());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    const QString exec = text.section(QStringLiteral("\nExec="), 1).section(QLatin1Char('\n'), 0, 0);
    QCOMPARE(exec, QStringLiteral("\"%1/Программы \\\\$HOME \\\\\"x\\\\\" 100%%/scrivora\"").arg(home->path()));
}

QTEST_GUILESS_MAIN(TestInstallHelper)
#include "ChildProcess.h"
#include "TestInstallHelper.moc"
