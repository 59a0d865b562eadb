#pragma once

#include "Method.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>

class QSslConfiguration;
class StubRestWorker;

// Runs one HTTP request per call on a fresh "RestWorker" thread while the
// calling thread waits (until the time limit, or until the calling thread is
// asked to stop with QThread::requestInterruption); the result is always
// data, never an exception.
class RestClient : public QObject
{
    Q_OBJECT

public:
    explicit RestClient(QObject* parent = nullptr);
    ~RestClient() override;

    void initialize(QString host, int port, bool tls);
    void addHeaders(QMap<QByteArray, QByteArray> headers);
    static QString trimSlashes(QString path);

    QJsonObject execute(QString path, Method method, QByteArray data, QMap<QString, QString> parameters);
    QByteArray executeClearHttp(QString path, Method method, QByteArray data, QMap<QString, QString> parameters);

    // The QNetworkReply::NetworkError of the last call; a call that outlived its
    // time limit was aborted (OperationCanceledError).
    int lastNetworkError() const { return lastError; }
    // The HTTP status of the last call's reply; 0 when none came.
    int lastHttpStatus() const { return lastStatus; }
    // The error text the server put into the last call's answer; empty when
    // the server reported none or the call failed before it answered.
    QString lastServerError() const { return serverError; }
    // Whether calls go over HTTPS, after initialize.
    bool usesTls() const { return sslConfiguration && chosenTemplate == httpsTemplate; }

    // The local HTTP proxy forwards paths as they came, under "/".
    void setApiPrefix(const QString& prefix) { apiPrefix = prefix; }
    QString composeUrl(const QString& path) const;

    // How long a call waits for its reply before aborting it (7000 ms).
    void setTimeout(int msecs) { timeoutMsecs = msecs; }
    int timeout() const { return timeoutMsecs; }

signals:
    void startExecute(QString url, Method httpMethod, QByteArray data, QMap<QString, QString> const& parameters);

private:
    // Issues the request and waits; false when the worker had to be abandoned.
    bool waitForReply(StubRestWorker* worker) const;
    bool run(StubRestWorker* worker, Qt::ConnectionType connection, const QString& url, Method method,
             const QByteArray& data, const QMap<QString, QString>& parameters);

    const QString httpTemplate = QStringLiteral("http://%1:%2%3%4");
    const QString httpsTemplate = QStringLiteral("https://%1:%2%3%4");
    QString apiPrefix = QStringLiteral("/api/");
    QString host;
    int port = 0;
    QSslConfiguration* sslConfiguration = nullptr;
    QString chosenTemplate = httpTemplate;
    const QString postText = QStringLiteral("POST");
    const QString getText = QStringLiteral("GET");
    QMap<QByteArray, QByteArray> headers;

    int timeoutMsecs = 7000;
    int lastError = 0;
    int lastStatus = 0;
    QString serverError;
    // After the abort the reply ends at once; this only bounds a stuck thread.
    int abortGraceMsecs = 2000;
    int interruptCheckMsecs = 50;
};
