#include "FormApiSettings.h"

#include <QRegularExpression>

FormApiSettings::FormApiSettings()
    : BaseConnectionSettings(QStringLiteral("FormApiServer"), QStringLiteral("localhost"), 33999, 39256, false)
    , AllowedOrigins(this, QStringLiteral("AllowedOrigins"), QString())
{
}

FormApiSettings::~FormApiSettings() = default;

QStringList FormApiSettings::allowedOrigins()
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    QStringList origins;
    for (const QString& entry : QString(AllowedOrigins).split(separators, Qt::SkipEmptyParts))
        origins.append(normalizedOrigin(entry));
    return origins;
}

QString FormApiSettings::normalizedOrigin(const QString& origin)
{
    QString normalized = origin.trimmed().toLower();
    while (normalized.endsWith(QLatin1Char('/')))
        normalized.chop(1);
    return normalized;
}

bool FormApiSettings::isOriginAllowed(const QString& origin)
{
    const QStringList allowed = allowedOrigins();
    return allowed.isEmpty() || allowed.contains(normalizedOrigin(origin));
}
