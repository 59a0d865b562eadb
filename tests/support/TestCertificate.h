#pragma once

#include <QSslCertificate>
#include <QSslKey>

// A self-signed certificate for 127.0.0.1 made with the openssl program at
// test time (nothing secret is kept in the sources).
struct TestCertificate
{
    QSslCertificate certificate;
    QSslKey key;

    bool isValid() const { return !certificate.isNull() && !key.isNull(); }

    // Made once per process; invalid when openssl is missing or fails.
    static const TestCertificate& localhost();
};
