#include "PathHelper.h"

#include "CancellationCondition.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void PathHelper::copyPath(const QString& source, const QString& target, const CancellationCondition* cancellation)
{
    if (cancellation && cancellation->isCanceled())
        return;
    const QFileInfo info(source);
    if (info.isDir()) {
        const QDir from(source);
        QDir to(target);
        to.mkpath(QStringLiteral("."));
        for (const QString& folder : from.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Unsorted))
            copyPath(from.filePath(folder), to.filePath(folder), cancellation);
        for (const QString& file : from.entryList(QDir::Files, QDir::Unsorted)) {
            if (cancellation && cancellation->isCanceled())
                return;
            QFile::copy(from.filePath(file), to.filePath(file));
        }
    } else if (info.isFile()) {
        QFile::copy(source, target);
    }
}
