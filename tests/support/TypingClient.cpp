// Types as the client does, through TextWriter and its queue, for tests that
// end a typing client abruptly. Prints "READY" once TextWriter::Init has run
// (it gives back what an ended copy left lent), reads "type <window> <hex of
// UTF-8>" lines from stdin and prints "IDLE" whenever everything was typed and
// the borrowed keys went back.

#include "StdinLines.h"
#include "TestHome.h"
#include "TextWriter.h"
#include "TypingQueue.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestHome::useApplicationIdentity();
    TextWriter::Init();
    QObject::connect(TextWriter::Writer->queue(), &TypingQueue::idle, [] {
        std::printf("IDLE\n");
        std::fflush(stdout);
    });
    std::printf("READY\n");
    std::fflush(stdout);

    StdinLines commands([](const QByteArray& line) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3 && fields.at(0) == "type")
            TextWriter::WriteText(fields.at(1).toULong(), QString::fromUtf8(QByteArray::fromHex(fields.at(2))));
    });
    const int result = app.exec();
    TextWriter::Cleanup();
    return result;
}
