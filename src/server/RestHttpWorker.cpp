#include "RestHttpWorker.h"

#include "HttpFields.h"
#include "RestJsonWorker.h"

#include <QJsonDocument>
#include <QNetworkReply>

#include <algorithm>

namespace {
// The body handed on is complete and already decoded, so the framing and coding
// headers of the upstream reply no longer describe it.
bool isFramingHeader(const QByteArray& name)
{
    const QByteArray lower = name.trimmed().toLower();
    return lower == "content-length" || lower == "content-encoding";
}

// The network layer keeps a lone CR inside a value and takes a line without a
// colon into the next name; either would reach the page as a line of its own.
bool isSoundHeader(const QNetworkReply::RawHeaderPair& header)
{
    if (!HttpFields::isToken(header.first))
        return false;
    const QList<QByteArray> values = header.second.split('\n');
    return std::all_of(values.begin(), values.end(), [](const QByteArray& value) { return HttpFields::isValue(value); });
}
} // namespace

RestHttpWorker::~RestHttpWorker() = default;

bool RestHttpWorker::logsTarget() const
{
    // A form's paths and queries may name a patient.
    return false;
}

bool RestHttpWorker::passesHeader(const QByteArray& name) const
{
    // The network layer computes the length of the body it sends, and decodes
    // the answer only when it negotiated the encoding itself.
    const QByteArray lower = name.trimmed().toLower();
    return lower != "content-length" && lower != "accept-encoding";
}

QByteArray RestHttpWorker::createResult(QNetworkReply* reply)
{
    if (replyTooLarge())
        return createBadGatewayResult(tooLargeText());
    // An error status is still the server's answer, with a body the form reads;
    // only an exchange that failed (errors below the content range) is the gateway's.
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()
        && reply->error() >= QNetworkReply::ContentAccessDenied;
    if (reply->error() == QNetworkReply::NoError || answered)
        return serializeReply(reply);
    // The network layer's own text for a refused second sending says nothing.
    const QString debugText = networkErrorText(reply->error(),
                                               reply->error() == QNetworkReply::ContentReSendError
                                                   ? QStringLiteral("The connection failed after the request was sent")
                                                   : reply->errorString());
    // Cancelled is the time limit's abort; anything else is a failed exchange.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return createDefaultErrorResult(debugText);
    return createBadGatewayResult(debugText);
}

QByteArray RestHttpWorker::serializeReply(QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toLatin1();
    const QList<QNetworkReply::RawHeaderPair> headers = reply->rawHeaderPairs();
    const bool sound = status >= 100 && status <= 599 && HttpFields::isValue(reason)
        && std::all_of(headers.begin(), headers.end(), isSoundHeader);
    if (!sound) {
        qWarning() << "The server's answer has a malformed status line or header: not passed on";
        return createBadGatewayResult(QStringLiteral("The server's answer is not sound HTTP"));
    }
    // The network layer takes an interim answer (102, 103) for the final one and
    // reads no further; passed on, the page would see it as the server's answer.
    if (status < 200) {
        qWarning() << "The server's answer" << status << "is interim and no final one is read: not passed on";
        return createBadGatewayResult(QStringLiteral("The server's answer %1 is not final").arg(status));
    }
    const QList<QByteArray> connection = reply->rawHeader("Connection").split(',');
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\n";
    for (const QNetworkReply::RawHeaderPair& header : headers) {
        if (isFramingHeader(header.first) || HttpFields::isHopByHop(header.first, connection))
            continue;
        // Repeated headers (Set-Cookie) arrive joined by line feeds: one line each again.
        for (const QByteArray& value : header.second.split('\n'))
            answer += header.first + ":" + value + "\r\n";
    }
    const qint64 size = reply->bytesAvailable();
    answer += "Content-Length:" + QByteArray::number(size) + "\r\n\r\n";
    // Read straight into the answer: a body of many megabytes is held once, not twice.
    const int headSize = answer.size();
    answer.resize(headSize + int(size));
    answer.resize(headSize + int(qMax<qint64>(0, reply->read(answer.data() + headSize, size))));
    return answer;
}

QByteArray RestHttpWorker::createDefaultErrorResult(QString debugText)
{
    return errorAnswer("HTTP/1.1 504 Gateway Timeout", debugText);
}

QByteArray RestHttpWorker::createBadGatewayResult(const QString& debugText)
{
    return errorAnswer("HTTP/1.1 502 Bad Gateway", debugText);
}

QByteArray RestHttpWorker::errorAnswer(const QByteArray& statusLine, const QString& debugText)
{
    const QByteArray json
        = QJsonDocument(RestJsonWorker::createErrorResult(RestJsonWorker::defaultErrorText(), debugText))
              .toJson(QJsonDocument::Indented)
              .trimmed();
    return statusLine
        + "\r\n"
          "Content-Length: "
        + QByteArray::number(json.size())
        + "\r\n"
          "Content-Type: application/json\r\n"
          "\r\n"
        + json;
}
