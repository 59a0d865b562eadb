#include "FakeServerSet.h"

#include <QCoreApplication>
#include <QTextStream>

// Runs a fake balancer and recognition server on fixed loopback ports so that
// the client can be tried without a real server:
//   FakeServer [balancer-port [recognition-port]]   (defaults 39255 and 34000)
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const quint16 balancerPort = args.size() > 1 ? quint16(args.at(1).toUInt()) : 39255;
    const quint16 recognitionPort = args.size() > 2 ? quint16(args.at(2).toUInt()) : 34000;

    FakeServerSet servers(balancerPort, recognitionPort);
    QTextStream out(stdout);
    if (!servers.isListening()) {
        out << "Cannot listen on 127.0.0.1 ports " << balancerPort << " and " << recognitionPort
            << " (taken?)" << Qt::endl;
        return 1;
    }
    out << "Fake balancer on 127.0.0.1:" << servers.balancerPort() << ", recognition server on 127.0.0.1:"
        << servers.recognitionPort() << Qt::endl
        << "Point the client at it in ~/.config/Orvanta Labs/Scrivora/settings.ini:" << Qt::endl
        << "  [BalancerConnection]" << Qt::endl
        << "  Ip=127.0.0.1" << Qt::endl
        << "  RestPort=" << servers.balancerPort() << Qt::endl
        << "  UseTls=false" << Qt::endl;
    QObject::connect(servers.recognition(), &FakeRecognitionServer::clientConnected, [&out] {
        out << "Client connected" << Qt::endl;
    });
    QObject::connect(servers.recognition(), &FakeRecognitionServer::messageReceived,
                     [&out](const FakeRecognitionServer::Message& message) {
                         out << "Message " << message.type << ": " << message.raw.left(200) << Qt::endl;
                     });
    return app.exec();
}
