#include "GeneralSystemInformationManager.h"

#include "CancellationCondition.h"
#include "EnvironmentInformation.h"
#include "ProgramRun.h"
#include "UserInformation.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdio>

GeneralSystemInformationManager::GeneralSystemInformationManager()
{
    components.push_back(std::make_unique<EnvironmentInformation>());
    components.push_back(std::make_unique<UserInformation>());
}

GeneralSystemInformationManager::~GeneralSystemInformationManager() = default;

bool GeneralSystemInformationManager::fail(const QString& text)
{
    error = text;
    qWarning().noquote() << QStringLiteral("System information archive not written: ") + text;
    return false;
}

void GeneralSystemInformationManager::setCancellation(const CancellationCondition* condition)
{
    cancellation = condition;
    for (const auto& component : components)
        component->setCancellation(condition);
}

bool GeneralSystemInformationManager::canceled() const
{
    return cancellation && cancellation->isCanceled();
}

bool GeneralSystemInformationManager::CollectSystemInformation(const QString& archivePath, bool replaceExisting)
{
    error.clear();
    const QTemporaryDir folder;
    if (!folder.isValid())
        return fail(tr("Не удалось создать временную папку: %1").arg(folder.errorString()));
    for (const auto& component : components)
        component->CollectInformation(folder.path());
    if (canceled())
        return fail(tr("Сохранение архива прервано"));
    return CompressDirectory(archivePath, folder.path(), replaceExisting);
}

bool GeneralSystemInformationManager::CompressDirectory(const QString& archivePath, const QString& folder,
                                                        bool replaceExisting)
{
    error.clear();
    if (archivePath.isEmpty())
        return fail(tr("Не указан файл архива"));
    const QFileInfo target(archivePath);
    if (target.exists() && !replaceExisting)
        return fail(tr("Файл %1 уже существует").arg(archivePath));

    // tar writes beside the target; only a complete archive takes the target's name.
    QTemporaryFile partial(target.absoluteDir().filePath(target.fileName() + QStringLiteral(".XXXXXX")));
    if (!partial.open())
        return fail(tr("Не удалось создать файл %1: %2").arg(archivePath, partial.errorString()));
    partial.close();

    const ProgramRun tar(QStringLiteral("tar"),
                         {QStringLiteral("-C"), folder, QStringLiteral("-zcvf"), partial.fileName(), QStringLiteral(".")},
                         programTimeout, cancellation);
    if (!tar.started())
        return fail(tr("Не удалось запустить программу tar: %1").arg(tar.errorOutput()));
    if (tar.canceled())
        return fail(tr("Сохранение архива прервано"));
    if (tar.timedOut())
        return fail(tr("Программа tar не завершила работу за %1 с").arg(programTimeout / 1000.0));
    if (!tar.succeeded())
        return fail(tr("Программа tar завершилась с ошибкой (код %1): %2").arg(tar.exitCode()).arg(tar.errorOutput()));

    // rename(2) replaces the old file in one step; QFile::rename never replaces.
    const bool moved = replaceExisting
        ? std::rename(QFile::encodeName(partial.fileName()).constData(), QFile::encodeName(archivePath).constData()) == 0
        : QFile::rename(partial.fileName(), archivePath);
    if (!moved)
        return fail(tr("Не удалось сохранить архив в %1").arg(archivePath));
    partial.setAutoRemove(false);
    return true;
}
