#include "RestJsonWorker.h"

#include "Exception.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QNetworkReply>

RestJsonWorker::~RestJsonWorker() = default;

QString RestJsonWorker::defaultErrorText()
{
    return QStringLiteral("Не удалось получить данные с сервера. Попробуйте выполнить запрос позднее");
}

QJsonObject RestJsonWorker::createErrorResult(QString text, QString debugText)
{
    QJsonObject error;
    error.insert(QStringLiteral("Text"), text);
    error.insert(QStringLiteral("DebugText"), debugText);
    QJsonObject result;
    result.insert(QStringLiteral("Error"), error);
    result.insert(QStringLiteral("Data"), QString(QLatin1String("")));
    return result;
}

QJsonObject RestJsonWorker::createDefaultErrorResult(QString debugText)
{
    return createErrorResult(defaultErrorText(), debugText);
}

QJsonObject RestJsonWorker::createResult(QNetworkReply* reply)
{
    if (replyTooLarge())
        return createDefaultErrorResult(tooLargeText());
    if (reply->error() != QNetworkReply::NoError)
        return createDefaultErrorResult(networkErrorText(reply->error(), reply->errorString()));

    const QByteArray body = reply->readAll();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qDebug().noquote() << "Json parse error: \n" + QString::fromUtf8(body);
        throw Exception(parseError.errorString());
    }
    if (document.isObject())
        return document.object();
    if (document.isArray()) {
        QJsonObject wrapped;
        wrapped.insert(QStringLiteral("non_field_data"), document.array());
        return wrapped;
    }
    return QJsonObject();
}
