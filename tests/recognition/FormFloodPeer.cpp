// A hostile local program or web page against the form server, in a process of
// its own so that its work is not counted as the client's:
//   FormFloodPeer tiny|big|pings|heads|drip|origins <port> <seconds> [connections]
// tiny and big send messages as fast as the socket takes them; pings sends
// pings and never reads; heads sends 70 KB heads without their end; drip
// sends a head a byte every two seconds; origins opens one session after
// another, each under an Origin of its own (as only a local program can), and
// neither reads nor closes them until it holds keptSessions. All but pings and
// the sessions of origins connect again whenever they are closed, as a page
// would in its onclose. At the end it prints one line: "sent <messages>
// messages over <connections> connections, <closed> closed by the server"
// (for origins, the messages are the sessions opened).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

namespace {
constexpr qint64 writeAhead = 256 * 1024;
// Below the descriptor limit the test gives this process too.
constexpr int keptSessions = 800;

// A client frame; the zero mask leaves the payload as it is.
QByteArray frame(int opcode, const QByteArray& payload)
{
    QByteArray head(1, char(0x80 | opcode));
    const quint64 length = quint64(payload.size());
    if (length < 126) {
        head += char(0x80 | length);
    } else if (length < 65536) {
        head += char(0x80 | 126);
        head += char(length >> 8);
        head += char(length & 0xff);
    } else {
        head += char(0x80 | 127);
        for (int shift = 56; shift >= 0; shift -= 8)
            head += char((length >> shift) & 0xff);
    }
    return head + QByteArray(4, '\0') + payload;
}

QByteArray handshake(quint16 port, const QByteArray& origin = "http://flood.example")
{
    return "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
        + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nOrigin: " + origin
        + "\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

class Peer : public QObject
{
public:
    Peer(const QString& mode, quint16 port, int seconds, int connections)
        : mode(mode)
        , port(port)
    {
        if (mode == QLatin1String("big"))
            message = frame(1, R"({"MessageType":13,"Data":")" + QByteArray(4 * 1024 * 1024 - 64, 'v') + "\"}");
        else
            message = frame(1, R"({"MessageType":5,"Data":"x"})");
        // Tiny frames go in batches: one write a frame would cost this process more than the client.
        if (mode == QLatin1String("tiny"))
            message = message.repeated(256);
        QTimer::singleShot(seconds * 1000, this, [this] { finish(); });
        for (int i = 0; i < connections; ++i)
            open();
        if (mode == QLatin1String("drip")) {
            auto* drip = new QTimer(this);
            connect(drip, &QTimer::timeout, this, [this] {
                if (finished)
                    return;
                for (QTcpSocket* socket : qAsConst(sockets))
                    socket->write("X");
            });
            drip->start(2000);
        }
    }

private:
    void open()
    {
        auto* socket = new QTcpSocket(this);
        sockets.append(socket);
        ++opened;
        connect(socket, &QTcpSocket::connected, this, [this, socket] { onConnected(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            ++closed;
            sockets.removeOne(socket);
            // A session of origins has already opened the one after it.
            const bool followed = upgraded.removeOne(socket) && mode == QLatin1String("origins");
            socket->deleteLater();
            if (!finished && mode != QLatin1String("pings") && !followed)
                QTimer::singleShot(1, this, [this] { open(); });
        });
        socket->connectToHost(QStringLiteral("127.0.0.1"), port);
    }

    void onConnected(QTcpSocket* socket)
    {
        if (mode == QLatin1String("heads")) {
            socket->write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Filler: " + QByteArray(70 * 1024, 'h'));
            return;
        }
        if (mode == QLatin1String("drip")) {
            socket->write("GET / HTTP/1.1\r\n");
            return;
        }
        const bool ownOrigin = mode == QLatin1String("origins");
        socket->write(ownOrigin ? handshake(port, "http://o" + QByteArray::number(opened) + ".example") : handshake(port));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (!upgraded.contains(socket)) {
                if (!socket->peek(4096).contains("\r\n\r\n"))
                    return;
                upgraded.append(socket);
                if (mode == QLatin1String("origins")) {
                    ++sent;
                    socket->setReadBufferSize(1);
                    socket->readAll();
                    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
                    while (sockets.size() >= keptSessions) {
                        QTcpSocket* oldest = sockets.takeFirst();
                        upgraded.removeOne(oldest);
                        oldest->disconnect(this);
                        oldest->abort();
                        oldest->deleteLater();
                    }
                    if (!finished)
                        open();
                    return;
                }
                if (mode == QLatin1String("pings")) {
                    // Reads no more: every answer stays with the client.
                    socket->setReadBufferSize(1);
                    socket->readAll();
                    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
                    pingMore(socket);
                    return;
                }
                connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { sendMore(socket); });
                sendMore(socket);
            }
            socket->readAll();
        });
    }

    void sendMore(QTcpSocket* socket)
    {
        while (!finished && socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < writeAhead) {
            socket->write(message);
            sent += mode == QLatin1String("tiny") ? 256 : 1;
        }
    }

    void pingMore(QTcpSocket* socket)
    {
        const QByteArray ping = frame(9, QByteArray(125, 'p')).repeated(512);
        while (!finished && socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < writeAhead) {
            socket->write(ping);
            sent += 512;
        }
        if (!finished && socket->state() == QAbstractSocket::ConnectedState)
            QTimer::singleShot(1, socket, [this, socket] { pingMore(socket); });
    }

    void finish()
    {
        finished = true;
        QTextStream(stdout) << "sent " << sent << " messages over " << opened << " connections, " << closed
                            << " closed by the server" << Qt::endl;
        for (QTcpSocket* socket : qAsConst(sockets)) {
            socket->disconnect(this);
            socket->abort();
        }
        QCoreApplication::quit();
    }

    const QString mode;
    const quint16 port;
    QByteArray message;
    QList<QTcpSocket*> sockets;
    QList<QTcpSocket*> upgraded;
    qint64 sent = 0;
    int opened = 0;
    int closed = 0;
    bool finished = false;
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        QTextStream(stderr) << "Usage: FormFloodPeer tiny|big|pings|heads|drip <port> <seconds> [connections]" << Qt::endl;
        return 2;
    }
    Peer peer(args.at(1), quint16(args.at(2).toUInt()), args.at(3).toInt(), args.value(4, QStringLiteral("1")).toInt());
    return app.exec();
}
