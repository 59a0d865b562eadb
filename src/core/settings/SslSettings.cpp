#include "SslSettings.h"

#include "SslCertificateVerification.h"

SslSettings::SslSettings()
    : Settings(QStringLiteral("SSL"))
    , SslCertificateVerification(this, QStringLiteral("SslCertificateVerification"), QStringLiteral("Insecure"))
{
}

SslSettings::~SslSettings() = default;

template<>
Enum<SslCertificateVerification>::Container Enum<SslCertificateVerification>::Values{
    {Insecure, QStringLiteral("Insecure"), QStringLiteral("Insecure")},
    {Strict, QStringLiteral("Strict"), QStringLiteral("Strict")},
};
