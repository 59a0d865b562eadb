#pragma once

#include "Enum.h"

enum SslCertificateVerification {
    Strict = 0,
    Insecure = 1
};

template<>
Enum<SslCertificateVerification>::Container Enum<SslCertificateVerification>::Values;
