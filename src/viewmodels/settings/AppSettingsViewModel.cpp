#include "AppSettingsViewModel.h"

#include <QMetaObject>

AppSettingsViewModel::AppSettingsViewModel(const QString& headerText, bool needServerConnection, QObject* parent)
    : SettingsViewModel(parent)
    , headerText(headerText)
    , serverConnection(needServerConnection)
{
}

AppSettingsViewModel::~AppSettingsViewModel() = default;

QString AppSettingsViewModel::get_ClassName() const
{
    return QString::fromLatin1(metaObject()->className());
}
