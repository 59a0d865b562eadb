#include "TerminationSignals.h"

#include <QSocketNotifier>
#include <QtDebug>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {
// The handler can reach nothing else.
volatile sig_atomic_t writeEnd = -1;

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (writeEnd >= 0)
        (void)!::write(writeEnd, &byte, 1);
    errno = savedErrno;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    // Non-blocking, so that a full pipe never stalls the handler.
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning().noquote() << "SIGTERM and SIGINT will end the program without its clean shutdown:"
                             << std::strerror(errno);
        return;
    }
    writeEnd = pipe[1];
    notifier = new QSocketNotifier(pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(SIGTERM, &action, &previousTerm);
    ::sigaction(SIGINT, &action, &previousInt);
}

TerminationSignals::~TerminationSignals()
{
    if (pipe[1] < 0)
        return;
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    ::sigaction(SIGINT, &previousInt, nullptr);
    writeEnd = -1;
    delete notifier;
    ::close(pipe[0]);
    ::close(pipe[1]);
}

void TerminationSignals::onReadable()
{
    unsigned char byte = 0;
    while (::read(pipe[0], &byte, 1) == 1) {
        qInfo() << "Signal" << int(byte) << "received: ending the session";
        emit received(int(byte));
    }
}
