#include "ClientInfoSettings.h"

#include <QMutex>
#include <QMutexLocker>
#include <QUuid>

ClientInfoSettings::ClientInfoSettings()
    : Settings(QStringLiteral("ClientInfo"))
    , DesktopId(this, QStringLiteral("DesktopId"), QString())
    , UseProxy(this, QStringLiteral("UseProxy"), true)
{
}

ClientInfoSettings::~ClientInfoSettings() = default;

QString ClientInfoSettings::getOrCreateDesktopId()
{
    QString id = DesktopId;
    if (!id.isEmpty())
        return id;

    static QMutex creation;
    QMutexLocker lock(&creation);
    // Another thread may have stored one while we waited; group objects of one
    // process share the file's state, so a fresh read sees it.
    id = DesktopId;
    if (!id.isEmpty())
        return id;
    id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    DesktopId.ChangeValue(id);
    sync();
    return id;
}
