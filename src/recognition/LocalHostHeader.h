#pragma once

#include <QByteArray>

// The Host header of a request to one of the local form servers. DNS
// rebinding: a page of another site whose name resolves to 127.0.0.1 still
// names its own host there.
class LocalHostHeader
{
public:
    // "localhost", "127.0.0.1" or "[::1]", with or without a port, in any case.
    static bool isLocal(const QByteArray& host);
};
