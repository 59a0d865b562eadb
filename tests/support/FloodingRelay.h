#pragma once

#include <QByteArray>
#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>

class QTcpServer;
class QTcpSocket;
class QTimer;

// A recognition server gone wrong, for tests and benchmarks: a relay on
// 127.0.0.1 in front of a real (fake) recognition server that passes both
// ways until told to flood. Then it writes frames of its own to the client,
// as fast as the client reads them or in bursts, and passes on, drops or
// leaves unread what the client sends; the server's frames keep reaching the
// client whole, between its own. Lives in a thread of its own; the public
// calls may come from any thread. The flood goes to the connections open
// when it starts; later ones are passed through.
class FloodingRelay : public QObject
{
    Q_OBJECT

public:
    enum class ClientBytes { Passed, Dropped, Unread };

    struct Flood
    {
        // The frame with this index (from 0).
        std::function<QByteArray(qint64)> frame;
        qint64 frames = 0;
        // Frames written at once every intervalMs; 0: as fast as the client takes them.
        int burst = 0;
        int intervalMs = 0;
        ClientBytes clientBytes = ClientBytes::Passed;
    };

    explicit FloodingRelay(quint16 serverPort);
    ~FloodingRelay() override;

    quint16 port() const { return listeningPort; }
    void flood(const Flood& flood);
    // Ends the flood; the links stay as they are.
    void stop();
    qint64 framesWritten() const { return written.load(); }
    bool isFlooding() const { return flooding.load(); }

    // Server-to-client frames (unmasked, final).
    static QByteArray textFrame(const QByteArray& utf8);
    static QByteArray binaryFrame(const QByteArray& bytes);
    static QByteArray pingFrame(const QByteArray& payload);

private:
    struct Link;

    void accept();
    void passFromServer(Link* link);
    void passFromClient(Link* link);
    void startFlood(const Flood& flood);
    void writeFlood();

    const quint16 serverPort;
    QThread thread;
    QTcpServer* listener = nullptr;
    QTimer* pace = nullptr;
    quint16 listeningPort = 0;
    QList<Link*> links;
    Flood current;
    std::atomic<qint64> written{0};
    std::atomic<bool> flooding{false};
};
