#include "SelfSignedCertificate.h"

#include "TestHome.h"

#include "ChildProcess.h"

#include <QFile>
#include <QSslKey>

SelfSignedCertificate::SelfSignedCertificate()
{
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const QString keyPath = m_folder.filePath(QStringLiteral("key.pem"));
    const QString certificatePath = m_folder.filePath(QStringLiteral("certificate.pem"));
    ChildProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"), QStringLiteral("-keyout"), keyPath, QStringLiteral("-out"), certificatePath,
                   QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
    if (!openssl.waitForFinished(TestHome::scaled(30000)) || openssl.exitStatus() != QProcess::NormalExit
        || openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(openssl.readAll()) + openssl.errorString();
        return;
    }
    QFile keyFile(keyPath);
    QFile certificateFile(certificatePath);
    if (!keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read the files openssl wrote");
        return;
    }
    m_key = QSslKey(keyFile.readAll(), QSsl::Rsa, QSsl::Pem);
    m_certificate = QSslCertificate(certificateFile.readAll(), QSsl::Pem);
    m_valid = !m_key.isNull() && !m_certificate.isNull();
    if (!m_valid)
        m_error = QStringLiteral("openssl wrote an unreadable key or certificate");
}

QSslConfiguration SelfSignedCertificate::serverConfiguration() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(m_certificate);
    configuration.setPrivateKey(m_key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}
