#pragma once

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

// A certificate and key for 127.0.0.1 made at test time with the openssl
// program, for servers that must speak wss://.
class SelfSignedCertificate
{
public:
    SelfSignedCertificate();

    bool isValid() const { return m_valid; }
    QString error() const { return m_error; }
    // The server side: certificate, key, no client verification.
    QSslConfiguration serverConfiguration() const;

private:
    QTemporaryDir m_folder;
    QSslCertificate m_certificate;
    QSslKey m_key;
    bool m_valid = false;
    QString m_error;
};
