#include "ChildProcess.h"
#include "TestHome.h"
#include "TrayHostSession.h"

#include <QCoreApplication>
#include <QTextStream>

// Runs a test on an X display of its own with a tray host, the desktop that
// scripts/headless-services.sh gives the suite. A client the user runs on the
// shared display hears every key a test presses there (its hotkeys listen to
// the whole display) and types what it recognises into the focused window:
// a double Ctrl of a test started it dictating into the test's window.
//   OwnDisplay <test program> [arguments]
// Exits as the test did; the display and the tray host end with it, or with
// this program when CTest kills it at its time limit.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        err << "usage: OwnDisplay <test program> [arguments]" << Qt::endl;
        return 2;
    }
    ChildProcess xvfb;
    QString error;
    // It picks a free display and names it once it takes connections. Kept from
    // resetting when its last client goes, which would undo a layout a test set.
    const QStringList serverArguments = {QStringLiteral("-displayfd"), QStringLiteral("1"),   QStringLiteral("-screen"),
                                         QStringLiteral("0"),          QStringLiteral("1280x1024x24"),
                                         QStringLiteral("-nolisten"),  QStringLiteral("tcp"), QStringLiteral("-noreset")};
    if (!xvfb.startServing(QStringLiteral("Xvfb"), serverArguments, [&xvfb] { return xvfb.canReadLine(); },
                           TestHome::scaled(30000), &error)) {
        err << "OwnDisplay: " << error << Qt::endl;
        return 1;
    }
    qputenv("DISPLAY", ":" + xvfb.readLine().trimmed());
    TrayHostSession trayHost;
    if (!trayHost.start(&error)) {
        err << "OwnDisplay: " << error << Qt::endl;
        return 1;
    }
    const int result = ChildProcess::execute(args.at(1), args.mid(2), -1);
    if (result < 0)
        err << "OwnDisplay: " << args.at(1) << " did not start or crashed" << Qt::endl;
    return result < 0 ? 1 : result;
}
