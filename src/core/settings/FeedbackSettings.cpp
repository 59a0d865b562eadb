#include "FeedbackSettings.h"

FeedbackSettings::FeedbackSettings()
    : Settings(QStringLiteral("Feedback"))
    , FeedbackText(this, QStringLiteral("FeedbackText"), QString())
    , Id(this, QStringLiteral("Id"), QString())
    , ThemeId(this, QStringLiteral("ThemeId"), QString())
    , ThemeVersion(this, QStringLiteral("ThemeVersion"), QString())
    , ThemeName(this, QStringLiteral("ThemeName"), QString())
    , Email(this, QStringLiteral("Email"), QString())
    , FullName(this, QStringLiteral("FullName"), QString())
    , ConsentRequested(this, QStringLiteral("ConsentRequested"), true)
{
}

FeedbackSettings::~FeedbackSettings() = default;
