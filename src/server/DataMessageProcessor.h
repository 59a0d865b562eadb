#pragma once

#include "LogLineThrottle.h"
#include "RecognitionModeInfo.h"
#include "ServerThemesInfo.h"
#include "TextResult.h"
#include "TtsStateInfo.h"
#include "UserNotification.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// Turns the server's frames into typed signals. Lives in the link's thread
// (WebSocketWorker); listeners elsewhere receive queued copies of the records.
class DataMessageProcessor : public QObject
{
    Q_OBJECT

public:
    // Server-to-client message types.
    enum MessageType {
        ModeChanged = 2,
        Result = 3,
        Notification = 5,
        ThemeChoices = 10,
        TtsState = 22,
        WorkDenied = 26
    };

    explicit DataMessageProcessor(QObject* parent = nullptr);
    ~DataMessageProcessor() override;

    // The server's messages for a web form, which the form session takes from the relay.
    static bool isFormMessageType(int type);

signals:
    // Every text frame, unchanged, whatever its content.
    void textMessageReceived(QString message);
    void modeChanged(RecognitionModeInfo info);
    void resultReceived(TextResult result);
    void userNotified(UserNotification notification);
    void themeChoicesReceived(ServerThemesInfo themes);
    void ttsSound(QByteArray message);
    void ttsStateReceived(TtsStateInfo state);
    void workDenied();

public slots:
    // Frames come from the server and are untrusted: anything malformed is
    // logged and dropped, never thrown back into the socket.
    void onTextMessageReceived(QString message);
    void onBinaryMessageReceived(QByteArray message);

private:
    LogLineThrottle otherFrameLog{20, 10000};
};
