#include "RestHttpWorker.h"

#include "RestJsonWorker.h"

#include <QJsonDocument>
#include <QNetworkReply>

namespace {
// The body handed on is complete and already decoded, so the framing and coding
// headers of the upstream reply no longer describe it.
bool isFramingHeader(const QByteArray& name)
{
    const QByteArray lower = name.trimmed().toLower();
    return lower == "content-length" || lower == "transfer-encoding" || lower == "content-encoding"
        || lower == "connection";
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
    // An error status is still the server's answer, with a body the form reads;
    // only an exchange that failed (errors below the content range) is the gateway's.
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()
        && reply->error() >= QNetworkReply::ContentAccessDenied;
    if (reply->error() != QNetworkReply::NoError && !answered)
        return createDefaultErrorResult(networkErrorText(reply->error(), reply->errorString()));
    return serializeReply(reply);
}

QByteArray RestHttpWorker::serializeReply(QNetworkReply* reply)
{
    QByteArray answer = "HTTP/1.1 "
        + QByteArray::number(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()) + " "
        + reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray() + "\r\n";
    for (const QNetworkReply::RawHeaderPair& header : reply->rawHeaderPairs()) {
        if (isFramingHeader(header.first))
            continue;
        // Repeated headers (Set-Cookie) arrive joined by line feeds: one line each again.
        for (const QByteArray& value : header.second.split('\n'))
            answer += header.first + ":" + value + "\r\n";
    }
    const QByteArray body = reply->readAll();
    answer += "Content-Length:" + QByteArray::number(body.size()) + "\r\n";
    answer += "\r\n";
    answer += body;
    return answer;
}

QByteArray RestHttpWorker::createDefaultErrorResult(QString debugText)
{
    const QByteArray json
        = QJsonDocument(RestJsonWorker::createErrorResult(RestJsonWorker::defaultErrorText(), debugText))
              .toJson(QJsonDocument::Indented)
              .trimmed();
    return "HTTP/1.1 504 Gateway Timeout\r\n"
           "Content-Length: "
        + QByteArray::number(json.size())
        + "\r\n"
          "Content-Type: application/json\r\n"
          "\r\n"
        + json;
}
