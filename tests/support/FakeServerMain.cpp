#include "FakeServerSet.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
constexpr quint16 DefaultBalancerPort = 39255;
constexpr quint16 DefaultRecognitionPort = 34000;

void printUsage(QTextStream& out)
{
    out << "Usage: FakeServer [balancer-port [recognition-port]]" << Qt::endl
        << "A fake balancer and recognition server on 127.0.0.1, to try the client without a real server." << Qt::endl
        << "Ports: balancer " << DefaultBalancerPort << " and recognition server " << DefaultRecognitionPort
        << " unless given; 0 lets the system choose." << Qt::endl
        << "Mode requests and form descriptions (106) are answered with mode reports; while dictating," << Qt::endl
        << "every second of audio received is \"recognised\" as a partial and then a final result: \""
        << FakeServerSet::finalPhrase()
        << "\"." << Qt::endl;
}

bool readPort(const QString& text, quint16* port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        printUsage(out);
        return 0;
    }
    quint16 balancerPort = DefaultBalancerPort;
    quint16 recognitionPort = DefaultRecognitionPort;
    if (args.size() > 2 || (args.size() > 0 && !readPort(args.at(0), &balancerPort))
        || (args.size() > 1 && !readPort(args.at(1), &recognitionPort))) {
        QTextStream err(stderr);
        printUsage(err);
        return 2;
    }

    FakeServerSet servers(balancerPort, recognitionPort);
    servers.setDictationResults(true);
    if (!servers.isListening()) {
        out << "Cannot listen on 127.0.0.1 ports " << balancerPort << " and " << recognitionPort
            << " (taken?)" << Qt::endl;
        return 1;
    }
    out << "Fake balancer on 127.0.0.1:" << servers.balancerPort() << ", recognition server on 127.0.0.1:"
        << servers.recognitionPort() << Qt::endl
        << "Point the client at it: add or change these keys in ~/.config/Orvanta Labs/Scrivora/settings.ini" << Qt::endl
        << "(a running client reads them at its next try, within 30 s):" << Qt::endl
        << "  [BalancerConnection]" << Qt::endl
        << "  Ip=127.0.0.1" << Qt::endl
        << "  RestPort=" << servers.balancerPort() << Qt::endl
        << "  UseTls=false" << Qt::endl;
    FakeRecognitionServer* recognition = servers.recognition();
    QObject::connect(recognition, &FakeRecognitionServer::clientConnected, [&out] {
        out << "Client connected" << Qt::endl;
    });
    QObject::connect(recognition, &FakeRecognitionServer::messageReceived,
                     [&out](const FakeRecognitionServer::Message& message) {
                         out << "Message " << message.type << ": " << message.raw.left(200) << Qt::endl;
                     });
    qint64 audio = 0;
    QObject::connect(recognition, &FakeRecognitionServer::binaryMessageReceived, [&out, &audio](const QByteArray& bytes) {
        const qint64 before = audio / FakeServerSet::BytesPerSecond;
        audio += bytes.size();
        if (audio / FakeServerSet::BytesPerSecond != before)
            out << "Audio: " << audio / FakeServerSet::BytesPerSecond << " s received" << Qt::endl;
    });
    return app.exec();
}
