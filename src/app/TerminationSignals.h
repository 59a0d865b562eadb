#pragma once

#include <QObject>

#include <signal.h>

class QSocketNotifier;

// Turns SIGTERM (sent at logout) and SIGINT into the Qt signal `received` on
// the thread that builds it (the GUI thread), through a self-pipe: the handler
// itself only writes one byte. Once one arrived, the next ends the process at
// once, should the clean ending hang. One object at a time.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void onReadable();

    int pipe[2] = {-1, -1};
    QSocketNotifier* notifier = nullptr;
    struct sigaction previousTerm;
    struct sigaction previousInt;
};
