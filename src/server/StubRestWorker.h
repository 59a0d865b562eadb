#pragma once

#include "Method.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QRecursiveMutex>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;

// One request on a throw-away thread named "RestWorker": the worker moves itself
// there on construction. The caller creates it, waits for workerThread() and then
// deletes it, or hands it to abandon() when the thread does not end in time.
// BaseRestWorker<T> adds the typed result.
class StubRestWorker : public QObject
{
    Q_OBJECT

public:
    // A reply body past this is not read on: the reply is aborted (the same
    // order as the link's message limit).
    static constexpr qint64 MaxReplySize = 16 * 1024 * 1024;

    // A null configuration means plain HTTP.
    StubRestWorker(const QSslConfiguration* sslConfiguration, const QMap<QByteArray, QByteArray>& headers);
    ~StubRestWorker() override;

    // Caller side.
    bool waitForFinished(int msecs);
    // Queues the abort into the worker thread: a reply belongs to the thread that made it.
    void abortLater();
    // The worker and its thread delete themselves once the thread ends; the
    // caller must not touch the worker after this call.
    void abandon();

    // The network error of the finished reply; NoError also when none came.
    int networkError();
    // The HTTP status of the finished reply; 0 when none came.
    int httpStatus();
    // Whether the result is the reply as read, not an error object of the worker's own.
    bool resultFromReply();

    // The debug text of an aborted reply, also used when the worker had to be abandoned.
    static QString networkErrorText(int code, const QString& errorString);
    static QString abortedText();
    // The debug text of a reply aborted for its size.
    static QString tooLargeText();

public slots:
    virtual void onExecuteFinished();
    virtual void restExecute(QString url, Method httpMethod, QByteArray data,
                             QMap<QString, QString> const& parameters);
    void onSsslError(QNetworkReply* reply, QList<QSslError> const& errors);

protected:
    // Which stored headers go out with the request.
    virtual bool passesHeader(const QByteArray& name) const;
    // Whether the info log names the request's path; otherwise only its length, the path at debug.
    virtual bool logsTarget() const;
    // Sets the result to the default error object for the given debug text.
    virtual void storeDefaultError(const QString& debugText) = 0;
    // Runs the typed result building for a finished reply; may throw.
    virtual void storeResult(QNetworkReply* reply) = 0;

    // Whether the reply was aborted for a body larger than MaxReplySize.
    bool replyTooLarge() const { return tooLarge; }

    // Only inside a catch block: logs the exception and makes it the result.
    void failWithCurrentException();
    void quitThread();

    // Guards the result and the pending reply.
    QRecursiveMutex mutex;
    QNetworkReply* pendingReply = nullptr;
    int replyError = 0;
    int replyStatus = 0;
    bool replyStored = false;

private:
    void abortPending();
    void checkReplySize(QNetworkReply* reply);
    void onThreadFinished();

    bool useSsl;
    QSslConfiguration sslConfiguration;
    QNetworkAccessManager* manager;
    QThread* workerThread;
    QMap<QByteArray, QByteArray> headers;
    bool tooLarge = false;

    // Settles who deletes the worker: the caller, or the thread's end after abandon().
    QMutex lifeMutex;
    bool threadDone = false;
    bool abandoned = false;
};
