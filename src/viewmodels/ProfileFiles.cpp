#include "ProfileFiles.h"

#include "CookiesSource.h"

#include <QDir>

QString ProfileFiles::organisationFile()
{
    return CookiesSource::profileFolder() + QDir::separator() + QStringLiteral("Organisation.ini");
}

QString ProfileFiles::userFile()
{
    return CookiesSource::profileFolder() + QDir::separator() + QStringLiteral("UserInfo.ini");
}
