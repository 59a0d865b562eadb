#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QPair>
#include <QSslConfiguration>
#include <QString>

#include <functional>

class QHostAddress;
class QThread;
class QTcpServer;

struct FakeHttpRequest
{
    QByteArray method;
    QByteArray target; // path and query as in the request line
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray path() const;
    // Case-insensitive; empty when missing.
    QByteArray header(const QByteArray& name) const;
};

struct FakeHttpResponse
{
    int status = 200;
    QByteArray reason = "OK";
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Adds Content-Length of the body unless the headers frame it themselves.
    bool addContentLength = true;
    // Accept the request and never answer.
    bool silent = false;
    // Reset the connection once the request is read.
    bool reset = false;
    // Written as it is instead of the answer the fields above make.
    QByteArray raw;
    // A body of this many bytes sent in place of `body` as fast as the client
    // takes it, never held whole; chunked or with its length.
    qint64 streamedSize = 0;
    bool chunked = false;

    static FakeHttpResponse json(const QByteArray& body, int status = 200, const QByteArray& reason = "OK");
};

// An HTTP/1.1 server on 127.0.0.1 (port 0) answering from its own thread, so
// a test may block its own thread in a synchronous client call. With a
// server TLS configuration it speaks HTTPS.
class FakeHttpServer
{
public:
    using Handler = std::function<FakeHttpResponse(const FakeHttpRequest&)>;

    FakeHttpServer();
    explicit FakeHttpServer(const QSslConfiguration& tls);
    // Plain HTTP on a fixed port (0: chosen by the system); port() is 0 when it is taken.
    explicit FakeHttpServer(quint16 port);
    // Plain HTTP on another loopback address (127.0.0.0/8), port chosen by the system.
    explicit FakeHttpServer(const QHostAddress& address);
    ~FakeHttpServer();
    FakeHttpServer(const FakeHttpServer&) = delete;
    FakeHttpServer& operator=(const FakeHttpServer&) = delete;

    // Stores "ClientInfo" UseProxy=false, so that a proxy in the test
    // environment cannot take the client's requests off the loopback.
    static void bypassSystemProxy();

    quint16 port() const { return m_port; }
    static QString host() { return QStringLiteral("127.0.0.1"); }

    // Called in the server thread for every complete request.
    void setHandler(Handler handler);
    void setResponse(const FakeHttpResponse& response);

    QList<FakeHttpRequest> requests() const;
    int requestCount() const;
    // Connections that did not start with an HTTP request line (TLS hellos).
    int rejectedCount() const;

    // Stops listening and drops open connections: later connects are refused.
    void close();

private:
    friend class FakeHttpListener;
    FakeHttpServer(const QSslConfiguration& tls, quint16 port, const QHostAddress& address);
    FakeHttpResponse answer(const FakeHttpRequest& request);
    void reject();

    mutable QMutex m_mutex;
    Handler m_handler;
    QList<FakeHttpRequest> m_requests;
    int m_rejected = 0;
    QThread* m_thread = nullptr;
    QTcpServer* m_listener = nullptr;
    quint16 m_port = 0;
};

Q_DECLARE_METATYPE(FakeHttpResponse)
