#pragma once

#include "LogLineThrottle.h"
#include "MISInfo.h"
#include "RateBudget.h"
#include "WebSocketServerSession.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QString>

class AsrManager;
class ResultManager;
class TargetModeInfo;
class WebSocketClient;

// Connects one MIS web form to the recognition server over the client's link:
// form codes go out renumbered (after the dictation target took note of the
// form, element, theme and mode), server messages for forms come back
// renumbered with their recognised values formatted. Lives in the form
// server's thread; server frames arrive queued from the link's thread, and the
// target, the managers and the formatter it uses guard themselves. Form values
// are patient data: only codes, types and sizes are logged. Any web page can
// open it: what a form may send, and what may wait for the link, is bounded;
// past that the form is closed with 1008, and the client's own traffic never
// waits behind it.
class WebSocketProxyServerSession : public WebSocketServerSession
{
    Q_OBJECT

public:
    // A form sends a message now and then as the user moves through it, and
    // rarely a large one: one message of the largest size at once.
    static constexpr double MaxMessageBurst = 200;
    static constexpr double MaxMessagesPerSecond = 100;
    static constexpr double MaxByteBurst = 4.5 * 1024 * 1024;
    static constexpr double MaxBytesPerSecond = 1024 * 1024;
    // Relayed bytes that may wait for a slow link before the form is closed.
    static constexpr qint64 MaxRelayBacklogBytes = 8 * 1024 * 1024;

    WebSocketProxyServerSession(WebSocketClient* client, QWebSocket* socket, ResultManager* resultManager,
                                AsrManager* asrManager, QObject* parent);
    ~WebSocketProxyServerSession() override;

    MISInfo misInfo() const { return info; }
    // Formats the text "Value" of an element of type 0 or 7 in place, as a final result.
    void processValuedElement(QJsonObject& element);

signals:
    // The form was closed with 1008 for its traffic; `origin` is its handshake's Origin.
    void trafficRefused(QString origin);

public slots:
    // A text frame of the recognition server.
    void proxyTextMessageReceived(QString message);

protected:
    void textMessageReceived(QString message) override;
    // Clears the form's cookies and tells the server the form is gone (116).
    void closing() override;

private:
    // The form's message, after its local effect, with the Data to send on.
    QJsonValue applyFormMessage(int code, const QJsonValue& data, TargetModeInfo* target);
    // The server's message for the form with its values formatted; false to drop it.
    bool prepareForForm(int code, QJsonValue* data, TargetModeInfo* target);
    QJsonArray processedElements(const QJsonArray& elements);
    QString formatted(const QString& text, bool isFinal);
    // Closes the form with 1008 and ignores what it sends from here on.
    void refuseForm(const QString& why);
    // Whether a line about this session is logged, summarised with its server's other sessions.
    bool passSessionLine(QString* summary);

    QPointer<WebSocketClient> client;
    QPointer<ResultManager> resultManager;
    MISInfo info;
    QPointer<AsrManager> asrManager;
    RateBudget messageBudget{MaxMessageBurst, MaxMessagesPerSecond};
    RateBudget byteBudget{MaxByteBurst, MaxBytesPerSecond};
    bool refused = false;
    qint64 relayed = 0;
    LogLineThrottle formLog{20, 10000};
    LogLineThrottle serverLog{20, 10000};
};
