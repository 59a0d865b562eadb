#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <functional>

#include <unistd.h>

// For the helper programs that tests drive through stdin: hands each line
// read to `handle` on the event loop, and quits the application at its end.
class StdinLines : public QObject
{
public:
    explicit StdinLines(std::function<void(const QByteArray&)> handle)
        : notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&notifier, &QSocketNotifier::activated, this, [this, handle] {
            char chunk[4096];
            const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (count <= 0) {
                notifier.setEnabled(false);
                QCoreApplication::quit();
                return;
            }
            input.append(chunk, static_cast<int>(count));
            for (int end; (end = input.indexOf('\n')) >= 0; input.remove(0, end + 1))
                handle(input.left(end));
        });
    }

private:
    QSocketNotifier notifier;
    QByteArray input;
};
