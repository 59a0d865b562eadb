#include "UserInformation.h"

#include "PathHelper.h"

#include <QDir>
#include <QStandardPaths>

void UserInformation::CollectInformation(QString folder)
{
    const QDir target(folder);
    const QDir data(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    PathHelper::copyPath(data.filePath(QStringLiteral("logs")), target.filePath(QStringLiteral("logs")),
                         cancellation);
    PathHelper::copyPath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                         target.filePath(QStringLiteral("configs")), cancellation);
}
