#pragma once

#include "BaseConnectionSettings.h"

#include <QStringList>

// Group "FormApiServer".
class FormApiSettings : public BaseConnectionSettings
{
    Q_OBJECT

public:
    FormApiSettings();
    ~FormApiSettings() override;

    // The AllowedOrigins entries, trimmed, without a trailing "/", lower case;
    // empty when every origin is accepted.
    QStringList allowedOrigins();
    static QString normalizedOrigin(const QString& origin);
    // Whether a page of this origin (empty when none was named) may use the
    // form servers: any while AllowedOrigins is empty.
    bool isOriginAllowed(const QString& origin);

    // Web page origins (scheme://host[:port]) whose forms may connect, separated
    // by commas or blanks; empty accepts every origin.
    Setting<QString> AllowedOrigins;
};
