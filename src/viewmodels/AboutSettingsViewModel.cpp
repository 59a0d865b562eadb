#include "AboutSettingsViewModel.h"

#include "AppVariables.h"
#include "ClientInfoSettings.h"
#include "PropertyChange.h"

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
    changeProperty(this, backgroundWidth, width, &AboutSettingsViewModel::changed_BackgroundWidth);
}

void AboutSettingsViewModel::set_BackgroundColor(QString color)
{
    changeProperty(this, backgroundColor, color, &AboutSettingsViewModel::changed_BackgroundColor);
}
