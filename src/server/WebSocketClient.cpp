#include "WebSocketClient.h"

#include "ClientInfoSettings.h"
#include "ConnectionHelper.h"
#include "CookiesSource.h"
#include "DataMessageProcessor.h"
#include "NetworkErrorText.h"

#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QWebSocket>
#include <QtDebug>

#include <algorithm>

WebSocketClient::WebSocketClient(QObject* parent)
    : WebSocketClient(parent, DefaultConnectTimeoutMs, new CookiesSource())
{
}

WebSocketClient::WebSocketClient(QObject* parent, int connectTimeoutMs, CookiesSource* cookies)
    : WebSocketConnection(parent, nullptr)
    , m_connectTimer(nullptr)
    , m_connectTimerInterval(connectTimeoutMs)
    , m_messageProcessor(nullptr)
    , m_cookiesSource(cookies)
{
    qRegisterMetaType<DataMessageProcessor*>("DataMessageProcessor*");
    m_messageProcessor = new DataMessageProcessor(this);
    m_connectTimer = new QTimer(this);
    m_connectTimer->setInterval(m_connectTimerInterval);

    QWebSocket* ws = socket();
    ws->setMaxAllowedIncomingFrameSize(MaxIncomingMessageBytes);
    ws->setMaxAllowedIncomingMessageSize(MaxIncomingMessageBytes);
    connect(ws, &QWebSocket::aboutToClose, this, &WebSocketClient::onAboutToClose);
    connect(ws, &QWebSocket::binaryMessageReceived, m_messageProcessor, &DataMessageProcessor::onBinaryMessageReceived);
    connect(ws, &QWebSocket::textMessageReceived, m_messageProcessor, &DataMessageProcessor::onTextMessageReceived);
    connect(ws, &QWebSocket::textMessageReceived, m_messageProcessor, &DataMessageProcessor::textMessageReceived);
    connect(this, &WebSocketClient::startTimer, this, &WebSocketClient::onStartTimer);
    connect(ws, &QWebSocket::connected, m_connectTimer, &QTimer::stop);
    connect(ws, &QWebSocket::disconnected, m_connectTimer, &QTimer::stop);
    connect(m_connectTimer, &QTimer::timeout, this, &WebSocketClient::onConnectTimeout);
    connect(ws, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this, &WebSocketClient::onSocketError);
    connect(this, &WebSocketClient::open, this, &WebSocketClient::onOpen);
    connect(ws, &QWebSocket::pong, this, &WebSocketClient::onPong);
    connect(ws, &QWebSocket::bytesWritten, this, &WebSocketClient::drainRelay);
    // After the socket has taken them: what the client sends itself counts too.
    connect(this, &WebSocketConnection::sendText, this, &WebSocketClient::abortWhenBacklogged);
    connect(this, &WebSocketConnection::sendBytes, this, &WebSocketClient::abortWhenBacklogged);
}

WebSocketClient::~WebSocketClient()
{
    delete m_cookiesSource;
}

QString WebSocketClient::serverUrl(const QString& ipAddress, int port, bool useTls)
{
    return QStringLiteral("%1://%2:%3/").arg(useTls ? QStringLiteral("wss") : QStringLiteral("ws"), ipAddress).arg(port);
}

void WebSocketClient::onOpen(QString ipAddress, int port, bool useTls)
{
    const QUrl url(serverUrl(ipAddress, port, useTls), QUrl::TolerantMode);
    qInfo().noquote() << "Connection web socket url " + url.toString();

    QWebSocket* ws = socket();
    if (ws->state() != QAbstractSocket::UnconnectedState)
        return;
    {
        QMutexLocker lock(&m_failureMutex);
        m_failureCause.clear();
        m_host = ipAddress;
        m_port = port;
        m_tls = useTls;
    }

    // A stored value that is not a boolean reads as false: no proxy.
    const bool useProxy = ClientInfoSettings().UseProxy;
    ws->setProxy(useProxy ? ConnectionHelper::getProxy(url) : QNetworkProxy(QNetworkProxy::NoProxy));

#ifndef QT_NO_SSL
    // Certificate errors may only be passed over when the settings ask for the
    // insecure mode; in strict mode they must fail the handshake.
    if (ws->sslConfiguration().peerVerifyMode() != QSslSocket::VerifyPeer)
        ws->ignoreSslErrors();
#endif

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::CookieHeader, QVariant::fromValue(m_cookiesSource->getCookies()));
    m_aborted = false;
    ws->open(request);
    // The socket Qt made for this open. Qt answers the server's pings inside
    // its reading, without a signal: the bytes read are the moment to look.
    if (auto* tcp = ws->findChild<QTcpSocket*>(QString(), Qt::FindDirectChildrenOnly)) {
        tcp->setReadBufferSize(ReadBufferStartBytes);
        connect(tcp, &QTcpSocket::readyRead, this, &WebSocketClient::abortWhenBacklogged, Qt::UniqueConnection);
        // Qt reads the socket in a queued call: posted now, this comes after it.
        connect(tcp, &QTcpSocket::readyRead, this, [this, tcp = QPointer<QTcpSocket>(tcp)] {
            QMetaObject::invokeMethod(this, [this, tcp] {
                if (tcp)
                    fitReadBuffer(tcp);
            }, Qt::QueuedConnection);
        });
    }
    emit startTimer();
}

QString WebSocketClient::failureCause() const
{
    QMutexLocker lock(&m_failureMutex);
    return m_failureCause;
}

void WebSocketClient::relayJson(int type, const QJsonValue& value)
{
    const QString text = envelope(type, value);
    {
        QMutexLocker lock(&m_relayMutex);
        m_relayBytes += text.size();
        m_relayQueue.enqueue(text);
    }
    // One call per message keeps its place among the client's own sends while nothing waits.
    QMetaObject::invokeMethod(this, &WebSocketClient::drainRelay, Qt::AutoConnection);
}

qint64 WebSocketClient::relayBacklog() const
{
    QMutexLocker lock(&m_relayMutex);
    return m_relayBytes;
}

void WebSocketClient::drainRelay()
{
    // Not connected, nothing waits in the socket and each send is dropped there, as any other.
    while (socket()->bytesToWrite() < RelayLowWaterBytes) {
        QString text;
        {
            QMutexLocker lock(&m_relayMutex);
            if (m_relayQueue.isEmpty())
                return;
            text = m_relayQueue.dequeue();
            m_relayBytes -= text.size();
        }
        emit sendText(text);
    }
}

void WebSocketClient::noteFailure(const QString& cause)
{
    QMutexLocker lock(&m_failureMutex);
    // The first is the cause; closing after it may add others.
    if (m_failureCause.isEmpty())
        m_failureCause = cause;
}

QString WebSocketClient::droppedBecause(const QString& why) const
{
    return QStringLiteral("соединение с %1:%2 прервано: %3").arg(m_host).arg(m_port).arg(why);
}

void WebSocketClient::onSocketError(QAbstractSocket::SocketError error)
{
    noteFailure(NetworkErrorText::ofSocket(error, m_host, m_port, m_tls));
}

void WebSocketClient::onConnectTimeout()
{
    noteFailure(NetworkErrorText::timedOut(m_host, m_port, m_tls));
    onClose();
}

void WebSocketClient::onAboutToClose()
{
    // Either side may have found a message too big; the text holds for both.
    if (socket()->closeCode() != QWebSocketProtocol::CloseCodeTooMuchData)
        return;
    qWarning().noquote() << QStringLiteral("Websocket closed: a message over the limit of %1 bytes (close code 1009)")
                                .arg(MaxIncomingMessageBytes);
    noteFailure(droppedBecause(QStringLiteral("слишком большое сообщение (код 1009)")));
}

void WebSocketClient::fitReadBuffer(QTcpSocket* tcp)
{
    const qint64 size = tcp->readBufferSize();
    const qint64 waiting = tcp->bytesAvailable();
    if (waiting >= size && size < ReadBufferBytes)
        tcp->setReadBufferSize(std::min(size * 2, ReadBufferBytes));
    else if (size > ReadBufferStartBytes && waiting < ReadBufferStartBytes)
        tcp->setReadBufferSize(ReadBufferStartBytes);
}

void WebSocketClient::abortWhenBacklogged()
{
    if (m_aborted || socket()->bytesToWrite() <= MaxUnsentBytes)
        return;
    m_aborted = true;
    qWarning().noquote() << QStringLiteral("Websocket aborted: more than %1 bytes wait to be sent; the server reads "
                                           "less than it makes the client send")
                                .arg(MaxUnsentBytes);
    noteFailure(droppedBecause(QStringLiteral("сервер не принимает ответы клиента")));
    // At once, as the form sockets are: left for a later turn, Qt's reading of
    // what is still buffered waits 5 s for a frame's end and then writes a close.
    socket()->abort();
}

void WebSocketClient::onStartTimer()
{
    qInfo() << "Websocket client timer start";
    m_connectTimer->start();
}

void WebSocketClient::onPing()
{
    m_pongReceived.store(false);
    socket()->ping(QByteArray());
}

void WebSocketClient::onPong()
{
    m_pongReceived.store(true);
}
