#pragma once

#include <QByteArray>
#include <QList>

// What HTTP/1.1 allows in a header field, and which fields describe only one
// connection (RFC 9110, 5.1, 5.5 and 7.6.1). Shared by the local HTTP proxy,
// which forwards a form's request, and the worker that hands the server's
// answer back to it. Stateless; any thread.
class HttpFields
{
public:
    // RFC 9110 token characters: methods and field names.
    static bool isToken(const QByteArray& text);
    // No control characters but horizontal tab: a stray CR or LF would end
    // the line early for whoever reads it next.
    static bool isValue(const QByteArray& text);
    // Fields that end at this hop, whatever direction: Connection, those it
    // names (its values, as received), the fixed hop-by-hop set and the
    // proxy's own credentials.
    static bool isHopByHop(const QByteArray& name, const QList<QByteArray>& connectionValues);
};
