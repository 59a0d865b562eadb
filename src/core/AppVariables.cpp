#include "AppVariables.h"

#include "Settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <mutex>

// The core library is static: its resources must be registered by hand.
static void registerCoreResources()
{
    Q_INIT_RESOURCE(core);
}

namespace {

struct ProcessState
{
    QDateTime startTime;
    QHash<QString, QString> buildSettings;
};

ProcessState& processState()
{
    static ProcessState state;
    return state;
}

// The start time and the build settings are fixed by the first lookup and only
// read afterwards, so later lookups from any thread need no lock.
void initialiseOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        registerCoreResources();
        ProcessState& state = processState();
        state.startTime = QDateTime::currentDateTime();
        QSettings build(QStringLiteral(":/replaceable/buildsettings.ini"), QSettings::IniFormat);
        build.setIniCodec("UTF-8");
        for (const QString& key : build.allKeys()) {
            const QVariant value = build.value(key);
            const QString text = value.userType() == QMetaType::QStringList
                ? value.toStringList().join(QStringLiteral(", "))
                : value.toString();
            // Keys of [General] are looked up by their bare name.
            QString bare = key;
            if (bare.startsWith(QLatin1String("General/")))
                bare = bare.mid(int(qstrlen("General/")));
            state.buildSettings.insert(bare, text);
        }
    });
}

AppVariables::Function writable(QStandardPaths::StandardLocation location)
{
    return [location](const QString&) { return QStandardPaths::writableLocation(location); };
}

QString appBinaryLocation()
{
    static const QString folder = QDir(QCoreApplication::applicationDirPath()).absolutePath();
    return folder;
}

QString settingsLocation()
{
    Settings top{QString()};
    return QFileInfo(top.fileName()).absolutePath();
}

QString helpFile()
{
    const QDir program(QCoreApplication::applicationDirPath());
    if (program.exists(QStringLiteral("help")))
        return program.filePath(QStringLiteral("help/index.html"));
    return program.filePath(QStringLiteral("index.html"));
}

QString dateTime(const QString& option)
{
    const QDateTime& start = processState().startTime;
    QString text = option.isEmpty() ? start.toString(Qt::TextDate) : start.toString(option);
    static const QRegularExpression unsafe(QStringLiteral("[\\/:?*]"));
    return text.replace(unsafe, QStringLiteral("-"));
}

QString build(const QString& key)
{
    return processState().buildSettings.value(key);
}

} // namespace

AppVariables AppVariables::sm_stdVars{
    {QStringLiteral("DesktopLocation"), writable(QStandardPaths::DesktopLocation)},
    {QStringLiteral("DocumentsLocation"), writable(QStandardPaths::DocumentsLocation)},
    {QStringLiteral("FontsLocation"), writable(QStandardPaths::FontsLocation)},
    {QStringLiteral("ApplicationsLocation"), writable(QStandardPaths::ApplicationsLocation)},
    {QStringLiteral("MusicLocation"), writable(QStandardPaths::MusicLocation)},
    {QStringLiteral("MoviesLocation"), writable(QStandardPaths::MoviesLocation)},
    {QStringLiteral("PicturesLocation"), writable(QStandardPaths::PicturesLocation)},
    {QStringLiteral("TempLocation"), writable(QStandardPaths::TempLocation)},
    {QStringLiteral("HomeLocation"), writable(QStandardPaths::HomeLocation)},
    {QStringLiteral("DataLocation"), writable(QStandardPaths::DataLocation)},
    {QStringLiteral("CacheLocation"), writable(QStandardPaths::CacheLocation)},
    {QStringLiteral("GenericDataLocation"), writable(QStandardPaths::GenericDataLocation)},
    {QStringLiteral("RuntimeLocation"), writable(QStandardPaths::RuntimeLocation)},
    {QStringLiteral("ConfigLocation"), writable(QStandardPaths::ConfigLocation)},
    {QStringLiteral("GenericConfigLocation"), writable(QStandardPaths::GenericConfigLocation)},
    {QStringLiteral("DownloadLocation"), writable(QStandardPaths::DownloadLocation)},
    {QStringLiteral("GenericCacheLocation"), writable(QStandardPaths::GenericCacheLocation)},
    {QStringLiteral("AppDataLocation"), writable(QStandardPaths::AppDataLocation)},
    {QStringLiteral("AppLocalDataLocation"), writable(QStandardPaths::AppLocalDataLocation)},
    {QStringLiteral("AppBinaryLocation"), [](const QString&) { return appBinaryLocation(); }},
    {QStringLiteral("AppStartLocation"), [](const QString&) { return QCoreApplication::applicationDirPath(); }},
    {QStringLiteral("SettingsLocation"), [](const QString&) { return settingsLocation(); }},
    {QStringLiteral("HelpFile"), [](const QString&) { return helpFile(); }},
    {QStringLiteral("env"), [](const QString& name) { return QString::fromLocal8Bit(qgetenv(name.toLatin1().constData())); }},
    {QStringLiteral("datetime"), dateTime},
    {QStringLiteral("build"), build},
};

AppVariables::AppVariables(std::initializer_list<std::pair<QString, Function>> variables)
{
    for (const auto& variable : variables)
        m_variables[variable.first.toLower()] = variable.second;
}

QString AppVariables::get(const QString& name, const QString& option) const
{
    initialiseOnce();
    const auto found = m_variables.find(name.toLower());
    if (found == m_variables.end() || !found->second)
        return QString();
    return found->second(option);
}

QString AppVariables::substitute(const QString& text) const
{
    if (!text.contains(QLatin1String("${")))
        return text;
    // A name or an option never holds braces, "$" or a line break, so an
    // unclosed "${" cannot swallow text up to a "}" further on.
    static const QRegularExpression pattern(
        QStringLiteral("\\$\\{(?<var>[^:{}$\\n\\r]*?)(:(?<opt>[^{}$\\n\\r]*?))?\\}"));
    QString result;
    int position = 0;
    auto matches = pattern.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        result += text.midRef(position, match.capturedStart() - position);
        result += get(match.captured(QStringLiteral("var")), match.captured(QStringLiteral("opt")));
        position = match.capturedEnd();
    }
    result += text.midRef(position);
    return result;
}

QList<QString> AppVariables::Names() const
{
    QList<QString> names;
    for (const auto& variable : m_variables)
        names.append(variable.first);
    return names;
}

bool AppVariables::buildFlag(const QString& key)
{
    return buildValue(key).toLower() == QLatin1String("true");
}

QString AppVariables::buildValue(const QString& key)
{
    return sm_stdVars.get(QStringLiteral("build"), key);
}
