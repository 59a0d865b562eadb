#include "ThemeInfoViewModel.h"

#include "ClientThemeInfo.h"

ThemeInfoViewModel::ThemeInfoViewModel(const ClientThemeInfo& theme, QObject* parent)
    : QObject(parent)
    , id(theme.id())
    , name(theme.name())
    , version(theme.version())
    , themeId(theme.themeId())
    , description(theme.description())
{
}

ThemeInfoViewModel::~ThemeInfoViewModel() = default;
