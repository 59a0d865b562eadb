#include "AboutSettingsViewModel.h"

#include "AppVariables.h"
#include "ClientInfoSettings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
QString build(const char* key)
{
    return AppVariables::sm_stdVars.get(QStringLiteral("build"), QString::fromLatin1(key));
}
} // namespace

AboutSettingsViewModel::AboutSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("О программе"), false, parent)
    , clientId(tr("ID пользователя: ") + ClientInfoSettings().getOrCreateDesktopId())
    , version(QCoreApplication::applicationVersion())
    , appDescription(build("AppDescription"))
    , supportLink(build("SupportLink"))
    , appLink(build("AppLink"))
    , localHelpFile(AppVariables::sm_stdVars.get(QStringLiteral("HelpFile"), QString()))
    , backgroundWidth(build("AboutViewBackgroundWidth").toInt())
    , backgroundColor(build("AboutViewBackgroundColor"))
{
    if (QFileInfo::exists(localHelpFile)) {
        visibleManual = true;
        emit changed_VisibleManual(true);
    }
}

AboutSettingsViewModel::~AboutSettingsViewModel() = default;

void AboutSettingsViewModel::set_BackgroundWidth(int width)
{
    if (width == backgroundWidth)
        return;
    backgroundWidth = width;
    emit changed_BackgroundWidth(width);
}

void AboutSettingsViewModel::set_BackgroundColor(QString color)
{
    if (color == backgroundColor)
        return;
    backgroundColor = color;
    emit changed_BackgroundColor(color);
}
