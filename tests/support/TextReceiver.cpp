#include "TextReceiver.h"

#include "ChildProcess.h"
#include "TestHome.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

#include <X11/Xlib.h>

namespace {
// The program's window that the window manager would give the focus to: the
// child of the root that holds the reported one (Tk reports an inner window).
unsigned long topLevel(unsigned long window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return window;
    Window current = window;
    for (int depth = 0; depth < 32; ++depth) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, current, &root, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        if (parent == root || parent == None)
            break;
        current = parent;
    }
    XCloseDisplay(display);
    return current;
}
} // namespace

TextReceiver::TextReceiver(Kind kind, const Pace& pace)
    : kind(kind)
    , pace(pace)
{
}

TextReceiver::~TextReceiver()
{
    if (process) {
        process->closeWriteChannel();
        if (!process->waitToEnd(TestHome::scaled(5000)))
            process->endGroup();
    }
}

bool TextReceiver::isAvailable(Kind kind)
{
    return kind != Tk || !QStandardPaths::findExecutable(QStringLiteral("wish")).isEmpty();
}

QString TextReceiver::name(Kind kind)
{
    switch (kind) {
    case Xlib:
        return QStringLiteral("Xlib");
    case XlibAnsweringPings:
        return QStringLiteral("Xlib answering pings");
    case Qt:
        return QStringLiteral("Qt");
    case Tk:
        return QStringLiteral("Tk");
    }
    return QString();
}

bool TextReceiver::start(QString* error)
{
    QString program;
    QStringList arguments;
    QString dash = QStringLiteral("--");
    switch (kind) {
    case Xlib:
    case XlibAnsweringPings:
        program = QStringLiteral(SCRIVORA_TEXT_RECEIVER_XLIB);
        if (kind == XlibAnsweringPings)
            arguments << QStringLiteral("--ping");
        break;
    case Qt:
        program = QStringLiteral(SCRIVORA_TEXT_RECEIVER_QT);
        break;
    case Tk:
        program = QStringLiteral("wish");
        arguments << QStringLiteral(SCRIVORA_TEXT_RECEIVER_TCL);
        dash.clear(); // Tk takes options that begin with a dash for its own
        break;
    }
    if (pace.keyCostUs > 0)
        arguments << dash + QStringLiteral("key-cost-us") << QString::number(pace.keyCostUs);
    if (pace.pauseAfter > 0)
        arguments << dash + QStringLiteral("pause-after") << QString::number(pace.pauseAfter) << dash + QStringLiteral("pause-ms")
                  << QString::number(pace.pauseMs);
    process.reset(new ChildProcess);
    // Tests run Qt offscreen; this one is a real X client.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, arguments);
    if (!process->waitForStarted(TestHome::scaled(10000))) {
        *error = QStringLiteral("%1 did not start: %2").arg(program, process->errorString());
        return false;
    }
    windowId = readLine("WINDOW ", TestHome::scaled(20000)).toULong();
    if (windowId != 0)
        windowId = topLevel(windowId);
    if (windowId == 0)
        *error = QStringLiteral("%1 showed no window").arg(name(kind));
    return windowId != 0;
}

QString TextReceiver::text()
{
    process->write("text\n");
    const QString hex = readLine("TEXT ", TestHome::scaled(20000));
    return hex.isNull() ? QString() : QString::fromUtf8(QByteArray::fromHex(hex.toLatin1()));
}

QString TextReceiver::readLine(const QByteArray& prefix, int msecs)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray line;
    while (timer.elapsed() < msecs && process->state() == QProcess::Running) {
        if (!process->canReadLine()) {
            process->waitForReadyRead(50);
            continue;
        }
        // Only the line end goes: an empty text is "TEXT " and nothing after it.
        line = process->readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith(prefix))
            return QString::fromLatin1(line.mid(prefix.size()));
    }
    return QString();
}
