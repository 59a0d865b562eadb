#include "FormApiSettings.h"

FormApiSettings::FormApiSettings()
    : BaseConnectionSettings(QStringLiteral("FormApiServer"), QStringLiteral("localhost"), 33999, 39256, false)
{
}

FormApiSettings::~FormApiSettings() = default;
