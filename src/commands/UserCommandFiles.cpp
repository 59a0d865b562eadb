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

namespace {
Exception invalidFormat(const QString& path, const QString& error)
{
    return Exception(QStringLiteral("UserCommandsManager: Invalid file format, file '") + path
                     + QStringLiteral("', error '") + error + QStringLiteral("'"));
}

// A key of another JSON type would be read as empty and lost at the next save.
void requireType(const QJsonObject& object, const QString& key, QJsonValue::Type type, const QString& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.type() == type)
        return;
    const QString expected = type == QJsonValue::String ? QStringLiteral("a string")
        : type == QJsonValue::Bool                     ? QStringLiteral("true or false")
                                                       : QStringLiteral("an array");
    throw invalidFormat(path, QStringLiteral("\"%1\" is not %2").arg(key, expected));
}
} // namespace

QList<UserCommand> UserCommandFiles::Load(const QString& path, ClientThemeInfo* theme, bool isSystem)
{
    QFile file(path);
    // A link to a device or a pipe would feed the parser for ever or block the open.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("UserCommandsManager: Cannot open file '") + path
                        + QStringLiteral("' for reading"));
    // read(n) reserves n bytes up front: ask for no more than the file holds.
    const QByteArray bytes = file.read(qBound<qint64>(0, file.size(), MaxFileSize) + 1);
    if (bytes.size() > MaxFileSize)
        throw invalidFormat(path, QStringLiteral("larger than %1 bytes").arg(MaxFileSize));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw invalidFormat(path, parseError.errorString());
    if (!document.isObject())
        throw Exception(QStringLiteral("UserCommandsManager: Invalid file format, file '") + path
                        + QStringLiteral("'"));

    const QJsonObject root = document.object();
    requireType(root, QStringLiteral("ThemeId"), QJsonValue::String, path);
    requireType(root, QStringLiteral("ThemeName"), QJsonValue::String, path);
    requireType(root, QStringLiteral("Commands"), QJsonValue::Array, path);
    if (theme) {
        theme->setId(root.value(QStringLiteral("ThemeId")).toString());
        theme->setName(root.value(QStringLiteral("ThemeName")).toString());
    }
    QList<UserCommand> commands;
    for (const QJsonValue& element : root.value(QStringLiteral("Commands")).toArray()) {
        if (!element.isObject())
            throw invalidFormat(path, QStringLiteral("command %1 is not an object").arg(commands.size() + 1));
        const QJsonObject object = element.toObject();
        for (const char* key : {"Type", "Id", "Pattern", "Text"})
            requireType(object, QLatin1String(key), QJsonValue::String, path);
        requireType(object, QStringLiteral("IsPunctuation"), QJsonValue::Bool, path);
        UserCommand command(object);
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
        qInfo().noquote() << "System auto-replace rules:" << systemRules.size() << "read from" << systemRulesPath;
    } catch (const Exception& e) {
        qWarning() << "No system auto-replace rules:" << e.message();
        contents.unreadableFiles.append(systemRulesPath);
    }
    contents.themes.insert(QString(), ClientThemeInfo());
    contents.commands.insert(QString(), systemRules);

    struct UserFile
    {
        QString path;
        ClientThemeInfo theme;
        QList<UserCommand> commands;
    };
    QList<UserFile> owners;
    // Theme id -> index in owners.
    QHash<QString, int> ownerOf;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.json")},
                                                           QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& info : files) {
        UserFile file{info.absoluteFilePath(), ClientThemeInfo(), {}};
        try {
            file.commands = Load(file.path, &file.theme, false);
        } catch (const Exception& e) {
            qWarning() << "Command file skipped, left as it is:" << e.message();
            contents.damagedFiles.insert(file.path);
            contents.unreadableFiles.append(file.path);
            continue;
        }
        // A save writes only the theme's own file: were a second file read
        // too, what it holds could never be edited or deleted.
        const QString id = file.theme.themeId();
        contents.fileThemes.insert(file.path, id);
        const auto owner = ownerOf.constFind(id);
        if (owner == ownerOf.constEnd()) {
            ownerOf.insert(id, owners.size());
            owners.append(file);
            continue;
        }
        UserFile& current = owners[owner.value()];
        QString left = file.path;
        if (info.fileName() == ThemeFileName(id)) {
            left = current.path;
            current = file;
        }
        qWarning() << "Command file left out:" << left << "declares theme" << id << "of" << current.path;
        contents.unreadableFiles.append(left);
    }

    for (UserFile& file : owners) {
        bool idsAdded = false;
        for (UserCommand& command : file.commands) {
            if (command.Type != UserCommandNamespace::Text && command.Id.isEmpty()) {
                command.Id = QUuid::createUuid().toString();
                idsAdded = true;
            }
        }
        if (idsAdded) {
            try {
                Save(file.path, file.theme, file.commands);
            } catch (const Exception& e) {
                qWarning() << "New command ids not stored:" << e.message();
            }
        }
        const QString id = file.theme.themeId();
        if (contents.themes.contains(id)) {
            contents.commands[id].append(file.commands);
        } else {
            contents.themes.insert(id, file.theme);
            contents.commands.insert(id, file.commands);
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

QString UserCommandFiles::ThemeFileName(const QString& themeId)
{
    if (themeId.isEmpty())
        return DefaultFileName;
    return IsSafeThemeId(themeId) ? ThemeFileTemplate.arg(themeId) : QString();
}

QString UserCommandFiles::ThemeFilePath(const QString& folder, const QString& themeId)
{
    const QString name = ThemeFileName(themeId);
    if (name.isEmpty())
        throw Exception(ThemeNotFound(themeId));
    return QDir(folder).filePath(name);
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
    qWarning() << "Command file moved out of the way, kept as" << target;
}
