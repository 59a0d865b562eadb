#include "LocalHostHeader.h"

#include <QRegularExpression>
#include <QString>

bool LocalHostHeader::isLocal(const QByteArray& host)
{
    static const QRegularExpression pattern(QStringLiteral("^(localhost|127\\.0\\.0\\.1|\\[::1\\])(:[0-9]{1,5})?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(QString::fromLatin1(host)).hasMatch();
}
