#include "DataMessageProcessor.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QMetaType>
#include <QtDebug>

namespace {
// Frames carry recognised text and form values: the log names a frame by its
// type and size, never by its content.
QString described(const QString& message)
{
    return QStringLiteral("%1 characters").arg(message.size());
}
} // namespace

DataMessageProcessor::DataMessageProcessor(QObject* parent)
    : QObject(parent)
{
    // Listeners in other threads get the records through queued connections.
    qRegisterMetaType<RecognitionModeInfo>("RecognitionModeInfo");
    qRegisterMetaType<TextResult>("TextResult");
    qRegisterMetaType<UserNotification>("UserNotification");
    qRegisterMetaType<ServerThemesInfo>("ServerThemesInfo");
    qRegisterMetaType<TtsStateInfo>("TtsStateInfo");
}

DataMessageProcessor::~DataMessageProcessor() = default;

void DataMessageProcessor::onTextMessageReceived(QString message)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(message.toUtf8(), &error);
    if (!document.isObject()) {
        qWarning().noquote() << "DataMessageProcessor: dropped a frame that is not a JSON object ("
                                + (error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("wrong top level"))
                                + "): " + described(message);
        return;
    }
    const QJsonObject envelope = document.object();
    const QJsonValue typeValue = envelope.value(QStringLiteral("MessageType"));
    const int type = typeValue.toInt(0);
    const QJsonObject data = envelope.value(QStringLiteral("Data")).toObject();

    try {
        switch (static_cast<unsigned>(type)) {
        case ModeChanged: {
            const RecognitionModeInfo info(data);
            if (!info.isKnown()) {
                qWarning().noquote() << "DataMessageProcessor: dropped a mode report with an unknown mode or state:"
                                     << data.value(QStringLiteral("Mode")) << data.value(QStringLiteral("State"));
                return;
            }
            emit modeChanged(info);
            return;
        }
        case Result:
            emit resultReceived(TextResult(data));
            return;
        case Notification:
            emit userNotified(UserNotification(data));
            return;
        case ThemeChoices:
            emit themeChoicesReceived(ServerThemesInfo(data));
            return;
        case TtsState:
            emit ttsStateReceived(TtsStateInfo(data));
            return;
        case WorkDenied:
            emit workDenied();
            return;
        default: {
            // A server can send these as fast as it likes: a few lines and a count.
            QString more;
            if (!otherFrameLog.pass(&more))
                return;
            if (!isFormMessageType(type)) {
                qWarning().noquote() << QStringLiteral("DataMessageProcessor: dropped a frame of unknown type %1: %2")
                                            .arg(type)
                                            .arg(described(message))
                                     << more;
            } else if (isSignalConnected(QMetaMethod::fromSignal(&DataMessageProcessor::textMessageReceived))) {
                qDebug().noquote() << QStringLiteral("DataMessageProcessor: frame of type %1 relayed to the web form: %2")
                                          .arg(type)
                                          .arg(described(message))
                                   << more;
            } else {
                qInfo().noquote() << QStringLiteral("DataMessageProcessor: frame of type %1 for a web form, none connected: %2")
                                         .arg(type)
                                         .arg(described(message))
                                  << more;
            }
            return;
        }
        }
    } catch (const std::exception& e) {
        // A listener connected directly threw; the frame is lost, the link is not.
        qWarning().noquote() << "DataMessageProcessor: error while handling a frame: "
                                + QString::fromLocal8Bit(e.what());
    }
}

bool DataMessageProcessor::isFormMessageType(int type)
{
    return (type >= 200 && type <= 218) || type == 800000;
}

void DataMessageProcessor::onBinaryMessageReceived(QByteArray message)
{
    emit ttsSound(message);
}
