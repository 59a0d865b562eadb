#include "logger.h"

#include "AppVariables.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <easylogging++.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

const char FallbackFolder[] = "${AppDataLocation}/logs";
// %1: the folder; %2: the process id, so that copies started in the same second
// (a restart, a refused second copy) never share a file.
const char FallbackConfiguration[] =
    "* GLOBAL:\n"
    "  FORMAT = \"%datetime %level: [%logger] %msg\"\n"
    "  FILENAME = \"%1/log_${DateTime:yyyy-MM-dd HH-mm-ss}_%2.log\"\n"
    "  ENABLED  = true\n"
    "  TO_FILE  = true\n"
    "  TO_STANDARD_OUTPUT = true\n"
    "  SUBSECOND_PRECISION = 3\n"
    "  PERFORMANCE_TRACKING = false\n"
    "  MAX_LOG_FILE_SIZE = 1024000\n";

el::Level toLevel(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return el::Level::Debug;
    case QtInfoMsg:
        return el::Level::Info;
    case QtWarningMsg:
        return el::Level::Warning;
    case QtCriticalMsg:
        return el::Level::Error;
    case QtFatalMsg:
        return el::Level::Fatal;
    }
    return el::Level::Unknown;
}

// easylogging++ accepts only these characters in a logger id and complains on
// stderr at every message otherwise.
std::string loggerId(const char* category)
{
    if (!category || !*category)
        return "default";
    std::string id(category);
    for (char& c : id) {
        const bool valid = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '-' || c == '.' || c == '_';
        if (!valid)
            c = '_';
    }
    return id;
}

void vmLogHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const std::string id = loggerId(context.category);
    el::base::Writer writer(toLevel(type), context.file ? context.file : "", context.line,
                            context.function ? context.function : "", el::base::DispatchAction::NormalLog, 0);
    writer.construct(1, id.c_str()) << message.toUtf8().toStdString();
}

// Full log files kept beside the one being written.
constexpr int KeptLogFiles = 10;
// Starts whose files the built-in configuration keeps.
constexpr int KeptStartFiles = 20;

// The library truncates a full log file; keep it first as <name>.1, the one
// before it as <name>.2 and so on, so a long session keeps its recent past
// without filling the disk. Runs with the library's lock held: it must not log.
void keepFullLogFile(const char* fileName, std::size_t)
{
    if (!fileName)
        return;
    const QString path = QString::fromLocal8Bit(fileName);
    const auto kept = [&path](int n) { return QStringLiteral("%1.%2").arg(path).arg(n).toLocal8Bit(); };
    std::remove(kept(KeptLogFiles).constData());
    for (int n = KeptLogFiles - 1; n >= 1; --n)
        std::rename(kept(n).constData(), kept(n + 1).constData());
    std::rename(fileName, kept(1).constData());
}

// Each start writes a file of its own: only those of the newest starts are
// kept (with their full copies <name>.1 ...), so the folder stops growing.
// The file of this start is always among them.
void removeOldStartFiles(const QString& folder, const QString& current)
{
    static const QRegularExpression startFile(QStringLiteral("^(log_.*\\.log)(\\.\\d+)?$"));
    QHash<QString, QDateTime> newest;
    QHash<QString, QStringList> members;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& file : files) {
        const QRegularExpressionMatch match = startFile.match(file.fileName());
        if (!match.hasMatch())
            continue;
        const QString start = match.captured(1);
        members[start].append(file.filePath());
        const QDateTime modified = file.lastModified();
        if (!newest.contains(start) || newest.value(start) < modified)
            newest.insert(start, modified);
    }
    QStringList starts = newest.keys();
    const QString currentStart = QFileInfo(current).fileName();
    std::sort(starts.begin(), starts.end(), [&](const QString& a, const QString& b) {
        if ((a == currentStart) != (b == currentStart))
            return a == currentStart;
        return newest.value(a) != newest.value(b) ? newest.value(a) > newest.value(b) : a > b;
    });
    for (int i = KeptStartFiles; i < starts.size(); ++i) {
        for (const QString& path : members.value(starts.at(i))) {
            if (!QFile::remove(path))
                qWarning().noquote() << "Old log file not removed:" << path;
        }
    }
}

bool applyConfiguration(const QString& text)
{
    el::Configurations configurations;
    if (!configurations.parseFromText(text.toStdString()))
        return false;
    el::Loggers::setDefaultConfigurations(configurations, true);
    return true;
}

} // namespace

QString fallbackLoggerConfiguration()
{
    return QString::fromLatin1(FallbackConfiguration)
        .arg(QLatin1String(FallbackFolder))
        .arg(QCoreApplication::applicationPid());
}

void InitLogger(int argc, char** argv)
{
    QStringList problems;
    el::Loggers::addFlag(el::LoggingFlag::CreateLoggerAutomatically);
    // Let Qt decide what a fatal message does.
    el::Loggers::addFlag(el::LoggingFlag::DisableApplicationAbortOnFatalLog);
    // A log that is still in a buffer when the program dies is of no use.
    el::Loggers::addFlag(el::LoggingFlag::ImmediateFlush);
    el::Helpers::installPreRollOutCallback(keepFullLogFile);
    qInstallMessageHandler(vmLogHandler);

    const AppVariables& vars = AppVariables::sm_stdVars;
    const QString path = QDir(vars.get(QStringLiteral("AppStartLocation"), QString()))
                             .filePath(QStringLiteral("log.ini"));
    bool fileConfigurationUsed = false;
    if (!QFileInfo::exists(path))
        problems << QStringLiteral("File %1 not found").arg(path);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        problems << QStringLiteral("Cannot open logger configuration %1\n Error: %2").arg(path, file.errorString());
    } else {
        const QByteArray bytes = file.readAll();
        if (bytes.isEmpty()) {
            if (file.error() == QFileDevice::NoError)
                problems << QStringLiteral("Logger configuration %1 is empty").arg(path);
            else
                problems << QStringLiteral("Cannot read logger configuration %1\n Error: %2").arg(path, file.errorString());
        } else {
            const int zero = bytes.indexOf('\0');
            const QString text = vars.substitute(QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero)));
            if (applyConfiguration(text))
                fileConfigurationUsed = true;
            else
                problems << QStringLiteral("Cannot parse logger configuration %1").arg(path);
        }
    }

    QString fallback;
    if (!fileConfigurationUsed) {
        fallback = vars.substitute(fallbackLoggerConfiguration());
        if (applyConfiguration(fallback)) {
            el::Logger* logger = el::Loggers::getLogger("default");
            const QString current = logger
                ? QString::fromStdString(logger->typedConfigurations()->filename(el::Level::Info))
                : QString();
            removeOldStartFiles(vars.substitute(QLatin1String(FallbackFolder)), current);
        } else {
            problems << QStringLiteral("Failed to configure logger, only console log is used.");
        }
    }

    el::Helpers::setArgs(argc, argv);

    qInfo() << "Logger started at "
            << vars.get(QStringLiteral("datetime"), QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8().constData()
            << " Version: " << vars.get(QStringLiteral("build"), QStringLiteral("Version")).toUtf8().constData();
    for (const QString& problem : problems)
        qWarning().noquote() << problem;
    if (!fileConfigurationUsed)
        qWarning().noquote() << "Logger have used fallback configuration\n" + fallback;
}
