#include "HttpFields.h"

#include <algorithm>

bool HttpFields::isToken(const QByteArray& text)
{
    static const QByteArray extra("!#$%&'*+-.^_`|~");
    if (text.isEmpty())
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        return alphanumeric || extra.contains(c);
    });
}

bool HttpFields::isValue(const QByteArray& text)
{
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f; });
}

bool HttpFields::isHopByHop(const QByteArray& name, const QList<QByteArray>& connectionValues)
{
    static const QList<QByteArray> names{"connection",        "keep-alive", "proxy-connection", "te",
                                         "trailer",           "upgrade",    "transfer-encoding", "proxy-authorization",
                                         "proxy-authenticate"};
    const QByteArray lower = name.trimmed().toLower();
    if (names.contains(lower))
        return true;
    return std::any_of(connectionValues.begin(), connectionValues.end(), [&](const QByteArray& value) {
        const QList<QByteArray> options = value.split(',');
        return std::any_of(options.begin(), options.end(),
                           [&](const QByteArray& option) { return option.trimmed().toLower() == lower; });
    });
}
