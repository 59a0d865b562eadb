#include "TestCertificate.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {
TestCertificate make()
{
    TestCertificate result;
    QTemporaryDir dir;
    if (!dir.isValid())
        return result;
    const QString keyFile = dir.filePath(QStringLiteral("key.pem"));
    const QString certificateFile = dir.filePath(QStringLiteral("certificate.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"), QStringLiteral("-keyout"), keyFile, QStringLiteral("-out"), certificateFile,
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost")});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return result;
    QFile key(keyFile);
    QFile certificate(certificateFile);
    if (!key.open(QIODevice::ReadOnly) || !certificate.open(QIODevice::ReadOnly))
        return result;
    result.key = QSslKey(key.readAll(), QSsl::Rsa);
    result.certificate = QSslCertificate(certificate.readAll());
    return result;
}
} // namespace

const TestCertificate& TestCertificate::localhost()
{
    static const TestCertificate certificate = make();
    return certificate;
}
