#pragma once

#include "MISInfo.h"
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
// renumbered with their recognised values formatted. Lives in the GUI thread;
// server frames arrive queued from the link's thread. Form values are patient
// data: only codes, types and sizes are logged.
class WebSocketProxyServerSession : public WebSocketServerSession
{
    Q_OBJECT

public:
    WebSocketProxyServerSession(WebSocketClient* client, QWebSocket* socket, ResultManager* resultManager,
                                AsrManager* asrManager, QObject* parent);
    ~WebSocketProxyServerSession() override;

    MISInfo misInfo() const { return info; }
    // Formats the text "Value" of an element of type 0 or 7 in place, as a final result.
    void processValuedElement(QJsonObject& element);

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

    QPointer<WebSocketClient> client;
    QPointer<ResultManager> resultManager;
    MISInfo info;
    QPointer<AsrManager> asrManager;
};
