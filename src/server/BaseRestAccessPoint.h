#pragma once

#include "Exception.h"
#include "Method.h"
#include "RestClient.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class BaseConnectionSettings;

// The typed face of one REST server: sets its client up from a connection
// settings group before each call and turns the reply into records, or into
// an Exception carrying the server's error texts. Used from its owner's thread.
class BaseRestAccessPoint : public QObject
{
    Q_OBJECT

public:
    explicit BaseRestAccessPoint(QObject* parent = nullptr);
    ~BaseRestAccessPoint() override;

    // The endpoint to call (Ip, RestPort, UseTls), read afresh for every call.
    virtual std::unique_ptr<BaseConnectionSettings> getSettings() const = 0;

    template<typename T>
    T getObject(const QString& path, Method method, std::function<T(QJsonObject)> converter,
                const QMap<QString, QString>& parameters, const QByteArray& body)
    {
        return converter(call(path, method, parameters, body).value(QStringLiteral("Data")).toObject());
    }

    template<typename T>
    QList<T> getList(const QString& path, Method method, std::function<T(QJsonObject)> converter,
                     const QMap<QString, QString>& parameters, const QByteArray& body)
    {
        QList<T> list;
        const QJsonArray data = call(path, method, parameters, body).value(QStringLiteral("Data")).toArray();
        for (const QJsonValue& element : data)
            list.append(converter(element.toObject()));
        return list;
    }

    // "CLIENT_APP_NAME=QTClient;DESKTOP_ID=…;VERSION=…;", values encoded as cookies.
    static QByteArray identityCookie();

    RestClient* restClient() { return &client; }

protected:
    // The reply of a call that carries no error object; throws otherwise.
    QJsonObject call(const QString& path, Method method, const QMap<QString, QString>& parameters,
                     const QByteArray& body);

private:
    QMap<QByteArray, QByteArray> defaultHeaders;
    RestClient client;
};
