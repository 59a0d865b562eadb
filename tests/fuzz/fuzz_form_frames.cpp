// A local web form's session through the proxy session, as a page on this
// computer drives it: the first input line is the raw Cookie header of the
// handshake, then each line is a frame of the form, or, after '<', a frame of
// the recognition server relayed to the form.
#include "FuzzEnvironment.h"

#include "AutoReplaceManager.h"
#include "DataMessageProcessor.h"
#include "RecordingTextWriter.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"
#include "WebSocketProxyServerSession.h"
#include "WebSocketServer.h"
#include "WebSocketWorker.h"

#include <QCoreApplication>
#include <QWebSocket>

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 256 * 1024)
        return -1;
    RecordingTextWriter writer;
    writer.focusedWindow = 1;
    const QList<QByteArray> lines = QByteArray(data, int(size)).split('\n');
    {
        UserCommandsManager userCommands;
        AutoReplaceManager autoReplace;
        WebSocketWorker worker(&autoReplace, &userCommands);
        WebSocketClient* client = worker.wsClient();
        auto* socket = new QWebSocket;
        socket->setProperty(WebSocketServer::RawCookieProperty, lines.value(0));
        WebSocketProxyServerSession session(client, socket, worker.resultManager(), worker.asrManager(), nullptr);
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray& line = lines[i];
            if (line.startsWith('<')) {
                // What the link's socket does with a server frame.
                const QString frame = QString::fromUtf8(line.mid(1));
                client->messageProcessor()->onTextMessageReceived(frame);
                emit client->messageProcessor()->textMessageReceived(frame);
            } else {
                emit socket->textMessageReceived(QString::fromUtf8(line));
            }
            QCoreApplication::sendPostedEvents();
        }
        session.finish();
        QCoreApplication::sendPostedEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
