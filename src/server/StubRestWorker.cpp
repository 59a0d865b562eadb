#include "StubRestWorker.h"

#include "ClientInfoSettings.h"
#include "ConnectionHelper.h"
#include "SingleSendBody.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslSocket>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>

#include <exception>

namespace {
const QString separatorLine(59, QLatin1Char('-'));

// Web forms' requests pass through here and may carry patient data in their
// query: the log names its size only.
QString described(const QUrl& url)
{
    const QString query = url.query(QUrl::FullyEncoded);
    return url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo | QUrl::RemoveFragment)
        + (query.isEmpty() ? QString() : QStringLiteral("?<%1 characters>").arg(query.size()));
}
} // namespace

StubRestWorker::StubRestWorker(const QSslConfiguration* sslConfiguration,
                               const QMap<QByteArray, QByteArray>& headers)
    : useSsl(sslConfiguration != nullptr)
    , sslConfiguration(sslConfiguration ? *sslConfiguration : QSslConfiguration())
    , manager(new QNetworkAccessManager(this))
    , workerThread(new QThread())
    , headers(headers)
{
    workerThread->setObjectName(QStringLiteral("RestWorker"));
    // Runs in the worker thread while it ends, so the manager and its replies
    // die in the thread they belong to.
    connect(workerThread, &QThread::finished, workerThread, [this] { onThreadFinished(); }, Qt::DirectConnection);
    connect(manager, &QNetworkAccessManager::sslErrors, this, &StubRestWorker::onSsslError);
    moveToThread(workerThread);
    workerThread->start(QThread::InheritPriority);
}

StubRestWorker::~StubRestWorker()
{
    if (!abandoned)
        delete workerThread;
}

bool StubRestWorker::waitForFinished(int msecs)
{
    return workerThread->wait(static_cast<unsigned long>(qMax(0, msecs)));
}

void StubRestWorker::abortLater()
{
    QMetaObject::invokeMethod(this, [this] { abortPending(); }, Qt::QueuedConnection);
}

void StubRestWorker::abandon()
{
    QMutexLocker lock(&lifeMutex);
    if (threadDone) {
        lock.unlock();
        workerThread->wait();
        delete this;
        return;
    }
    // The thread object is deleted by the event loop of the main thread, which
    // waits for the last steps of the ending thread.
    if (QCoreApplication* app = QCoreApplication::instance())
        workerThread->moveToThread(app->thread());
    abandoned = true;
}

int StubRestWorker::networkError()
{
    QMutexLocker lock(&mutex);
    return replyError;
}

int StubRestWorker::httpStatus()
{
    QMutexLocker lock(&mutex);
    return replyStatus;
}

bool StubRestWorker::resultFromReply()
{
    QMutexLocker lock(&mutex);
    return replyStored;
}

QString StubRestWorker::networkErrorText(int code, const QString& errorString)
{
    return QStringLiteral("Код: ") + QString::number(code) + QStringLiteral("\nОшибка: ") + errorString;
}

QString StubRestWorker::abortedText()
{
    return networkErrorText(QNetworkReply::OperationCanceledError, QStringLiteral("Operation canceled"));
}

QString StubRestWorker::tooLargeText()
{
    return QStringLiteral("The server's reply is larger than %1 bytes").arg(MaxReplySize);
}

void StubRestWorker::abortPending()
{
    QMutexLocker lock(&mutex);
    if (pendingReply)
        pendingReply->abort();
}

void StubRestWorker::checkReplySize(QNetworkReply* reply)
{
    if (tooLarge)
        return;
    // The declared length ends it before the transfer; the bytes held, when
    // the length is not declared (chunked) or not told truly.
    const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (declared <= MaxReplySize && reply->bytesAvailable() <= MaxReplySize)
        return;
    qWarning().noquote() << tooLargeText() + ": aborted";
    tooLarge = true;
    reply->abort();
}

void StubRestWorker::onThreadFinished()
{
    delete manager;
    manager = nullptr;
    QMutexLocker lock(&lifeMutex);
    threadDone = true;
    if (abandoned) {
        workerThread->deleteLater();
        deleteLater();
    }
}

void StubRestWorker::quitThread()
{
    workerThread->quit();
}

void StubRestWorker::failWithCurrentException()
{
    QString errorText;
    try {
        throw;
    } catch (const std::exception& e) {
        errorText = QString::fromUtf8(e.what());
        qWarning().noquote() << QStringLiteral("Request error: ") + errorText;
    } catch (...) {
        qWarning().noquote() << "Unknown request error!";
    }
    QMutexLocker lock(&mutex);
    storeDefaultError(errorText);
}

bool StubRestWorker::passesHeader(const QByteArray&) const
{
    return true;
}

bool StubRestWorker::logsTarget() const
{
    return true;
}

void StubRestWorker::restExecute(QString url, Method httpMethod, QByteArray data,
                                 QMap<QString, QString> const& parameters)
{
    try {
        qInfo().noquote() << separatorLine;
        qInfo().noquote() << "SSL build Version: " + QSslSocket::sslLibraryBuildVersionString();
        qInfo().noquote() << "SSL runtime Version: " + QSslSocket::sslLibraryVersionString();
        qInfo().noquote() << QStringLiteral("SSL support: ")
                + (QSslSocket::supportsSsl() ? QStringLiteral("true") : QStringLiteral("false"));
        qInfo().noquote() << separatorLine;

        QUrl requestUrl(url, QUrl::TolerantMode);
        if (!parameters.isEmpty()) {
            QUrlQuery query;
            for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
                query.addQueryItem(it.key(), it.value());
            requestUrl.setQuery(query);
        }

        QNetworkRequest request(requestUrl);
        request.setRawHeader("Content-Type", "application/json");
        if (useSsl)
            request.setSslConfiguration(sslConfiguration);
        for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
            if (passesHeader(it.key()))
                request.setRawHeader(it.key(), it.value());
        }

        if (ClientInfoSettings().UseProxy)
            manager->setProxy(ConnectionHelper::getProxy(requestUrl));
        else
            manager->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));

        const QString target = logsTarget()
            ? described(requestUrl)
            : QStringLiteral("(path of %1 characters)")
                  .arg(requestUrl.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority).size());
        if (!logsTarget())
            qDebug().noquote() << "Request target: " + described(requestUrl);
        QMutexLocker lock(&mutex);
        QNetworkReply* reply = nullptr;
        switch (httpMethod) {
        case POST: {
            qInfo().noquote() << "POST REQUEST " + target + "\n";
            auto* body = new SingleSendBody(data);
            reply = manager->post(request, body);
            body->setParent(reply);
            break;
        }
        case PUT:
            qInfo().noquote() << "PUT REQUEST " + target + "\n";
            reply = manager->put(request, data);
            break;
        case GET:
        default:
            qInfo().noquote() << "GET REQUEST " + target + "\n";
            reply = manager->get(request);
            break;
        }
        pendingReply = reply;
        // The network layer stops reading at its buffer limit until the reply
        // is read from, so what it holds stays bounded until the check aborts
        // it. It may stop up to one block short of that limit, and then never
        // tells of the last bytes: the limit lies well past the cap.
        reply->setReadBufferSize(2 * MaxReplySize);
        connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { checkReplySize(reply); });
        connect(reply, &QNetworkReply::readyRead, this, [this, reply] { checkReplySize(reply); });
        connect(reply, &QNetworkReply::finished, this, &StubRestWorker::onExecuteFinished);
        return;
    } catch (...) {
        failWithCurrentException();
    }
    quitThread();
}

void StubRestWorker::onExecuteFinished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    try {
        QMutexLocker lock(&mutex);
        replyError = reply->error();
        replyStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        storeResult(reply);
        replyStored = replyError == QNetworkReply::NoError;
        pendingReply = nullptr;
    } catch (...) {
        failWithCurrentException();
    }
    {
        QMutexLocker lock(&mutex);
        pendingReply = nullptr;
    }
    reply->deleteLater();
    quitThread();
}

void StubRestWorker::onSsslError(QNetworkReply*, QList<QSslError> const& errors)
{
    QSslCertificate lastPrinted;
    for (const QSslError& error : errors) {
        const QSslCertificate certificate = error.certificate();
        if (!certificate.isNull() && certificate.isSelfSigned())
            qWarning() << "Self signed SSL certificate";
        qWarning().noquote() << QStringLiteral("SSL error: ") + error.errorString() + "\n";
        if (certificate != lastPrinted) {
            lastPrinted = certificate;
            qDebug().noquote() << certificate.toText() + "\n";
        }
    }
}
