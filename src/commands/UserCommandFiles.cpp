#include "UserCommandFiles.h"

#include "Exception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>
#include <QtDebug>

#include <algorithm>

const QString UserCommandFiles::FolderName = QStringLiteral("commands");
const QString UserCommandFiles::DefaultFileName = QStringLiteral("default.json");
const QString UserCommandFiles::ThemeFileTemplate = QStringLiteral("theme_%1.json");
const QString UserCommandFiles::SystemRulesFileName = QStringLiteral("autoreplaces.json");

QString UserCommandFiles::ThemeNotFound(const QString& themeId)
{
    return QStringLiteral("UserCommandsManager: Theme ") + themeId + QStringLiteral(" not found");
}

QString UserCommandFiles::CannotWrite(const QString& path)
{
    return QStringLiteral("UserCommandsManager: Cannot open file '") + path + QStringLiteral("' for writing");
}

QList<UserCommand> UserCommandFiles::Load(const QString& path, ClientThemeInfo* theme, bool isSystem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("UserCommandsManager: Cannot open file '") + path
                        + QStringLiteral("' for reading"));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw Exception(QStringLiteral("UserCommandsManager: Invalid file format, file '") + path
                        + QStringLiteral("', error '") + parseError.errorString() + QStringLiteral("'"));
    if (!document.isObject())
        throw Exception(QStringLiteral("UserCommandsManager: Invalid file format, file '") + path
                        + QStringLiteral("'"));

    const QJsonObject root = document.object();
    if (theme) {
        theme->setId(root.value(QStringLiteral("ThemeId")).toString());
        theme->setName(root.value(QStringLiteral("ThemeName")).toString());
    }
    QList<UserCommand> commands;
    for (const QJsonValue& element : root.value(QStringLiteral("Commands")).toArray()) {
        UserCommand command(element.toObject());
        command.IsSystem = isSystem;
        commands.append(command);
    }
    return commands;
}

void UserCommandFiles::Save(const QString& path, const ClientThemeInfo& theme, const QList<UserCommand>& commands)
{
    QJsonArray array;
    for (const UserCommand& command : commands)
        array.append(command.toJson());
    const QJsonObject root{
        {QStringLiteral("ThemeId"), theme.themeId()},
        {QStringLiteral("ThemeName"), theme.name()},
        {QStringLiteral("Commands"), array},
    };
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "Cannot write" << path << file.errorString();
        throw Exception(CannotWrite(path));
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning() << "Cannot write" << path << file.errorString();
        file.cancelWriting();
        throw Exception(CannotWrite(path));
    }
}

QList<UserCommand> UserCommandFiles::Deduplicate(const QList<UserCommand>& commands)
{
    QList<UserCommand> unique;
    QHash<QString, int> positions;
    for (const UserCommand& command : commands) {
        const QString pattern = command.get_NormalizedPattern();
        const auto found = positions.constFind(pattern);
        if (found != positions.constEnd()) {
            unique[found.value()] = command;
        } else {
            positions.insert(pattern, unique.size());
            unique.append(command);
        }
    }
    return unique;
}

QList<UserCommand> UserCommandFiles::SystemFirst(const QList<UserCommand>& commands)
{
    QList<UserCommand> ordered = commands;
    std::stable_partition(ordered.begin(), ordered.end(), [](const UserCommand& c) { return c.IsSystem; });
    return ordered;
}

UserCommandFiles::Contents UserCommandFiles::LoadAll(const QString& folder, const QString& systemRulesPath)
{
    Contents contents;
    QList<UserCommand> systemRules;
    try {
        systemRules = Load(systemRulesPath, nullptr, true);
    } catch (const Exception& e) {
        qWarning() << "No system auto-replace rules:" << e.message();
        contents.unreadableFiles.append(systemRulesPath);
    }
    contents.themes.insert(QString(), ClientThemeInfo());
    contents.commands.insert(QString(), systemRules);

    QHash<QString, QString> declaredBy;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.json")},
                                                           QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& info : files) {
        const QString path = info.absoluteFilePath();
        ClientThemeInfo theme;
        QList<UserCommand> commands;
        try {
            commands = Load(path, &theme, false);
        } catch (const Exception& e) {
            qWarning() << "Command file skipped, left as it is:" << e.message();
            contents.damagedFiles.insert(path);
            contents.unreadableFiles.append(path);
            continue;
        }

        bool idsAdded = false;
        for (UserCommand& command : commands) {
            if (command.Type != UserCommandNamespace::Text && command.Id.isEmpty()) {
                command.Id = QUuid::createUuid().toString();
                idsAdded = true;
            }
        }
        if (idsAdded) {
            try {
                Save(path, theme, commands);
            } catch (const Exception& e) {
                qWarning() << "New command ids not stored:" << e.message();
            }
        }

        const QString id = theme.themeId();
        if (declaredBy.contains(id))
            qWarning() << "Command files" << declaredBy.value(id) << "and" << info.fileName()
                       << "both hold theme" << id;
        else
            declaredBy.insert(id, info.fileName());
        if (contents.themes.contains(id)) {
            contents.commands[id].append(commands);
        } else {
            contents.themes.insert(id, theme);
            contents.commands.insert(id, commands);
        }
    }

    for (auto list = contents.commands.begin(); list != contents.commands.end(); ++list)
        list.value() = SystemFirst(Deduplicate(list.value()));

    ClientThemeInfo allThemes;
    allThemes.setName(QCoreApplication::translate("UserCommandsManager", "Для всех словарей"));
    contents.themes.insert(QString(), allThemes);
    if (!contents.commands.contains(QString()))
        contents.commands.insert(QString(), QList<UserCommand>());
    return contents;
}

bool UserCommandFiles::IsSafeThemeId(const QString& themeId)
{
    if (themeId.contains(QLatin1String("..")))
        return false;
    for (const QChar c : themeId) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Format)
            return false;
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            return false;
    }
    return true;
}

QString UserCommandFiles::ThemeFilePath(const QString& folder, const QString& themeId)
{
    if (themeId.isEmpty())
        return QDir(folder).filePath(DefaultFileName);
    if (!IsSafeThemeId(themeId))
        throw Exception(ThemeNotFound(themeId));
    return QDir(folder).filePath(ThemeFileTemplate.arg(themeId));
}

void UserCommandFiles::SetAside(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    const QString base = path + QStringLiteral(".damaged");
    QString target = base;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('.') + QString::number(n);
    if (!QFile::rename(path, target))
        throw Exception(CannotWrite(path));
    qWarning() << "Damaged command file kept as" << target;
}
