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
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include <sys/stat.h>

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

// Full log files kept beside the one being written.
constexpr int KeptLogFiles = 10;
// Starts whose files the built-in configuration keeps.
constexpr int KeptStartFiles = 20;

// The library measures a file by its stream's position, which a failed write
// (a full disk) turns into SIZE_MAX: it would then truncate the file at every
// line. Its own check is switched off and the sizes configured are kept here,
// by level, so that a file is cut only when it really is full.
std::mutex limitsMutex;
std::map<el::base::type::EnumType, std::size_t> sizeLimits;

// Whoever is told that the log cannot be written, and whether that has been told.
std::mutex failureMutex;
std::function<void(const QString&)> failureHandler;
QString unwrittenLog;
bool failureTold = false;

std::size_t sizeLimit(el::Level level)
{
    std::lock_guard<std::mutex> lock(limitsMutex);
    const auto found = sizeLimits.find(el::LevelHelper::castToInt(level));
    return found == sizeLimits.end() ? 0 : found->second;
}

// As the library reads the value: digits only, anything else means no limit.
std::size_t parseSize(const el::Configuration* configuration)
{
    if (!configuration)
        return 0;
    const QString text = QString::fromStdString(configuration->value()).trimmed();
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    return ok && !text.startsWith(QLatin1Char('+')) ? std::size_t(value) : 0;
}

void takeOverSizeLimits(el::Configurations& configurations)
{
    std::map<el::base::type::EnumType, std::size_t> limits;
    const std::size_t global = parseSize(configurations.get(el::Level::Global, el::ConfigurationType::MaxLogFileSize));
    el::base::type::EnumType index = el::LevelHelper::kMinValid;
    el::LevelHelper::forEachLevel(&index, [&]() -> bool {
        const el::Configuration* own = configurations.get(el::LevelHelper::castFromInt(index),
                                                          el::ConfigurationType::MaxLogFileSize);
        limits[index] = own ? parseSize(own) : global;
        return false;
    });
    configurations.set(el::Level::Global, el::ConfigurationType::MaxLogFileSize, "0");
    std::lock_guard<std::mutex> lock(limitsMutex);
    sizeLimits = limits;
}

// Once per run, on stderr (the log itself may be what fails) and to the handler.
void tellUnwritable(const QString& path)
{
    std::lock_guard<std::mutex> lock(failureMutex);
    if (failureTold || !unwrittenLog.isEmpty())
        return;
    std::fprintf(stderr, "Scrivora: the log file %s cannot be written (disk full or folder not writable)\n",
                 path.toLocal8Bit().constData());
    std::fflush(stderr);
    if (failureHandler) {
        failureTold = true;
        failureHandler(path);
    } else {
        unwrittenLog = path;
    }
}

// A full log file is kept as <name>.1, the one before it as <name>.2 and so
// on, so a long session keeps its recent past without filling the disk. Runs
// with the library's locks held: it must not log.
void keepFullLogFile(const std::string& fileName)
{
    const QString path = QString::fromLocal8Bit(fileName.c_str());
    const auto kept = [&path](int n) { return QStringLiteral("%1.%2").arg(path).arg(n).toLocal8Bit(); };
    std::remove(kept(KeptLogFiles).constData());
    for (int n = KeptLogFiles - 1; n >= 1; --n)
        std::rename(kept(n).constData(), kept(n + 1).constData());
    std::rename(fileName.c_str(), kept(1).constData());
}

// After each line: a full file is kept aside and a new one started; a stream
// that failed is told and tried again with the next line. Returns the file
// that cannot be written, empty when all is well.
QString tendLogFile(const std::string& id, el::Level level)
{
    el::Logger* logger = el::Loggers::getLogger(id, false);
    if (!logger)
        return QString();
    // In the library's order: the logger's lock, then the one of all writes.
    el::base::threading::ScopedLock loggerLock(logger->lock());
    el::base::threading::ScopedLock writeLock(ELPP->lock());
    el::base::TypedConfigurations* typed = logger->typedConfigurations();
    if (!typed || !typed->enabled(level) || !typed->toFile(level))
        return QString();
    el::base::type::fstream_t* stream = typed->fileStream(level);
    const std::string& name = typed->filename(level);
    if (!stream)
        return QString();
    if (!stream->is_open())
        stream->open(name, std::ios::out | std::ios::app);
    if (!stream->is_open() || !stream->good()) {
        stream->clear();
        return QString::fromLocal8Bit(name.c_str());
    }
    const std::size_t limit = sizeLimit(level);
    struct stat status;
    if (limit == 0 || ::stat(name.c_str(), &status) != 0 || std::size_t(status.st_size) < limit)
        return QString();
    stream->close();
    keepFullLogFile(name);
    stream->open(name, std::ios::out | std::ios::app);
    return stream->is_open() ? QString() : QString::fromLocal8Bit(name.c_str());
}

void vmLogHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const std::string id = loggerId(context.category);
    const el::Level level = toLevel(type);
    {
        el::base::Writer writer(level, context.file ? context.file : "", context.line,
                                context.function ? context.function : "", el::base::DispatchAction::NormalLog, 0);
        writer.construct(1, id.c_str()) << message.toUtf8().toStdString();
    }
    const QString unwritable = tendLogFile(id, level);
    if (!unwritable.isEmpty())
        tellUnwritable(unwritable);
}

// A file the library could not open leaves only its name behind: it then
// writes to standard output alone and says nothing.
QString unopenedLogFile(el::Configurations& configurations)
{
    el::Logger* logger = el::Loggers::getLogger("default");
    if (!logger)
        return QString();
    el::base::TypedConfigurations* typed = logger->typedConfigurations();
    QString unopened;
    el::base::type::EnumType index = el::LevelHelper::kMinValid;
    el::LevelHelper::forEachLevel(&index, [&]() -> bool {
        const el::Level level = el::LevelHelper::castFromInt(index);
        const el::Configuration* toFile = configurations.get(level, el::ConfigurationType::ToFile);
        const QString value = toFile ? QString::fromStdString(toFile->value()).trimmed() : QString();
        const bool wanted = value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        if (!wanted || typed->toFile(level))
            return false;
        unopened = QString::fromLocal8Bit(typed->filename(level).c_str());
        return true;
    });
    return unopened;
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

// *unopened: a log file the configuration names that could not be opened.
bool applyConfiguration(const QString& text, QString* unopened)
{
    el::Configurations configurations;
    if (!configurations.parseFromText(text.toStdString()))
        return false;
    takeOverSizeLimits(configurations);
    el::Loggers::setDefaultConfigurations(configurations, true);
    *unopened = unopenedLogFile(configurations);
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
    qInstallMessageHandler(vmLogHandler);

    const AppVariables& vars = AppVariables::sm_stdVars;
    const QString path = QDir(vars.get(QStringLiteral("AppStartLocation"), QString()))
                             .filePath(QStringLiteral("log.ini"));
    bool fileConfigurationUsed = false;
    QString unopened;
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
            if (applyConfiguration(text, &unopened))
                fileConfigurationUsed = true;
            else
                problems << QStringLiteral("Cannot parse logger configuration %1").arg(path);
        }
    }

    QString fallback;
    if (!fileConfigurationUsed) {
        fallback = vars.substitute(fallbackLoggerConfiguration());
        if (applyConfiguration(fallback, &unopened)) {
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
    if (!unopened.isEmpty()) {
        qWarning().noquote() << "The log file " + unopened + " cannot be opened: messages go to standard output only";
        tellUnwritable(unopened);
    }
}

void setLogWriteFailureHandler(std::function<void(const QString& path)> handler)
{
    std::lock_guard<std::mutex> lock(failureMutex);
    failureHandler = std::move(handler);
    if (failureHandler && !unwrittenLog.isEmpty() && !failureTold) {
        failureTold = true;
        failureHandler(unwrittenLog);
    }
}
