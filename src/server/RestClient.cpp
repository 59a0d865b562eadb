#include "RestClient.h"

#include "ConnectionHelper.h"
#include "RestHttpWorker.h"
#include "RestJsonWorker.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QThread>

RestClient::RestClient(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<Method>("Method");
    qRegisterMetaType<QMap<QString, QString>>("QMap<QString,QString>");
}

RestClient::~RestClient()
{
    delete sslConfiguration;
}

void RestClient::initialize(QString host, int port, bool tls)
{
    this->host = host;
    this->port = port;
    if (!tls && ConnectionHelper::tlsRequired()) {
        qWarning().noquote() << "Strict TLS: " + host + " is asked over HTTPS only";
        tls = true;
    }
    if (!tls) {
        chosenTemplate = httpTemplate;
        return;
    }
    chosenTemplate = httpsTemplate;
    delete sslConfiguration;
    sslConfiguration = new QSslConfiguration(QSslConfiguration::defaultConfiguration());
    sslConfiguration->setPeerVerifyMode(ConnectionHelper::peerVerifyMode());
}

void RestClient::addHeaders(QMap<QByteArray, QByteArray> headers)
{
    qDebug().noquote() << "Headers:\n";
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        this->headers.insert(it.key(), it.value());
        // A web form's cookies name its user: values stay out of the log.
        qDebug().noquote() << QStringLiteral("   %1: %2 bytes").arg(QString::fromUtf8(it.key())).arg(it.value().size());
    }
}

QString RestClient::trimSlashes(QString path)
{
    auto isTrimmed = [](QChar c) { return c == QLatin1Char('/') || c == QLatin1Char(' '); };
    int begin = 0;
    int end = path.size();
    while (begin < end && isTrimmed(path.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(path.at(end - 1)))
        --end;
    return path.mid(begin, end - begin);
}

QString RestClient::composeUrl(const QString& path) const
{
    // One pass of arg(): a %N inside the host or the path stays as it is.
    return chosenTemplate.arg(host, QString::number(port), apiPrefix, trimSlashes(path));
}

bool RestClient::run(StubRestWorker* worker, Qt::ConnectionType connection, const QString& url, Method method,
                     const QByteArray& data, const QMap<QString, QString>& parameters)
{
    connect(this, &RestClient::startExecute, worker, &StubRestWorker::restExecute, connection);
    emit startExecute(url, method, data, parameters);
    disconnect(this, &RestClient::startExecute, worker, nullptr);

    if (waitForReply(worker))
        return true;
    worker->abortLater();
    if (worker->waitForFinished(abortGraceMsecs))
        return true;
    qWarning().noquote() << "REST worker did not end after the abort of " + url;
    worker->abandon();
    return false;
}

bool RestClient::waitForReply(StubRestWorker* worker) const
{
    // A background caller asked to stop (its owner is going away) gives the
    // reply up at once instead of holding its owner for the whole time limit.
    QThread* caller = QThread::currentThread();
    const QDeadlineTimer deadline(timeoutMsecs);
    while (!worker->waitForFinished(int(qMin<qint64>(deadline.remainingTime(), interruptCheckMsecs)))) {
        if (deadline.hasExpired() || caller->isInterruptionRequested())
            return false;
    }
    return true;
}

QJsonObject RestClient::execute(QString path, Method method, QByteArray data, QMap<QString, QString> parameters)
{
    const QString url = composeUrl(path);
    auto* worker = new RestJsonWorker(sslConfiguration, headers);
    QJsonObject result;
    lastStatus = 0;
    bool fromServer = false;
    if (run(worker, Qt::BlockingQueuedConnection, url, method, data, parameters)) {
        result = worker->result();
        lastError = worker->networkError();
        lastStatus = worker->httpStatus();
        fromServer = worker->resultFromReply();
        delete worker;
    } else {
        result = RestJsonWorker::createErrorResult(RestJsonWorker::defaultErrorText(), StubRestWorker::abortedText());
        lastError = QNetworkReply::OperationCanceledError;
    }
    // Replies may echo what was sent (a claim names its user): the log gets their size and error text only.
    const QJsonValue error = result.value(QStringLiteral("Error"));
    // Otherwise the error object is the client's own, made for the failed call.
    serverError = fromServer ? error.toObject().value(QStringLiteral("Text")).toString() : QString();
    qInfo().noquote() << QStringLiteral("Reply of %1: %2 bytes%3")
                             .arg(trimSlashes(path))
                             .arg(QJsonDocument(result).toJson(QJsonDocument::Compact).size())
                             .arg(error.isObject() ? QStringLiteral(", error: ")
                                          + error.toObject().value(QStringLiteral("Text")).toString()
                                                   : QString());
    return result;
}

QByteArray RestClient::executeClearHttp(QString path, Method method, QByteArray data,
                                        QMap<QString, QString> parameters)
{
    const QString url = composeUrl(path);
    auto* worker = new RestHttpWorker(sslConfiguration, headers);
    // Computed up front: an abandoned worker may be gone by the time it is needed.
    const QByteArray timedOut = worker->createDefaultErrorResult(StubRestWorker::abortedText());
    QByteArray result = timedOut;
    lastError = QNetworkReply::OperationCanceledError;
    lastStatus = 0;
    serverError.clear();
    if (run(worker, Qt::AutoConnection, url, method, data, parameters)) {
        result = worker->result();
        lastError = worker->networkError();
        lastStatus = worker->httpStatus();
        delete worker;
    }
    // Form requests pass through here: their replies carry form values.
    qDebug().noquote() << QStringLiteral("Reply of %1 bytes").arg(result.size());
    return result;
}
