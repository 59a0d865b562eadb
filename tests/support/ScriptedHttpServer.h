#pragma once

#include <QByteArray>
#include <QHash>
#include <QMetaType>
#include <QMutex>
#include <QThread>

#include <functional>

class QTcpServer;
class QTcpSocket;

// An HTTP/1.1 server on 127.0.0.1 in its own thread that answers as a broken
// or compromised recognition server would: given bytes, a body of any size
// sent as fast as the client takes it (declared or chunked, never held whole),
// a reset once the request is read, or nothing at all.
class ScriptedHttpServer
{
public:
    struct Reply
    {
        enum class Kind { Raw, Body, ChunkedBody, Reset, Silent };
        Kind kind = Kind::Raw;
        QByteArray bytes; // Raw: the whole answer
        qint64 size = 0;  // Body, ChunkedBody: bytes of body

        static Reply raw(const QByteArray& bytes) { return {Kind::Raw, bytes, 0}; }
        static Reply body(qint64 size, bool chunked) { return {chunked ? Kind::ChunkedBody : Kind::Body, {}, size}; }
        static Reply of(Kind kind) { return {kind, {}, 0}; }
    };
    // Called in the server thread with the path of each complete request.
    using Script = std::function<Reply(const QByteArray& path)>;

    explicit ScriptedHttpServer(Script script);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    quint16 port() const { return m_port; }
    // Complete requests received for the path.
    int requestCount(const QByteArray& path) const;

private:
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Reply& reply);
    static void stream(QTcpSocket* socket, qint64 size, bool chunked);

    Script m_script;
    QThread m_thread;
    QTcpServer* m_listener = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QHash<QByteArray, int> m_counts;
};

Q_DECLARE_METATYPE(ScriptedHttpServer::Reply)
