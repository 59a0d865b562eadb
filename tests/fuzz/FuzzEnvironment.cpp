#include "FuzzEnvironment.h"

#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir>& privateFolder()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

void init()
{
    // The application object keeps references to both.
    static int appArgc = 1;
    static char appName[] = "fuzz";
    static char* appArgv[] = {appName, nullptr};
    new QCoreApplication(appArgc, appArgv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta Labs"));
    QCoreApplication::setApplicationName(QStringLiteral("Scrivora"));
    Settings::setFileName(QStringLiteral("settings"));

    privateFolder() = std::make_unique<QTemporaryDir>();
    const QString home = privateFolder()->path();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/cache")));
    if (qgetenv("FUZZ_VERBOSE") != "1")
        qInstallMessageHandler(dropMessage);
}
} // namespace

namespace FuzzEnvironment {

QString folder()
{
    return privateFolder() ? privateFolder()->path() : QDir::tempPath();
}

QString text(const char* data, size_t size)
{
    return QString::fromUtf8(data, int(size));
}

QStringList lines(const char* data, size_t size)
{
    QStringList result = text(data, size).split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write ") + path);
}

QString writeFreshSettingsFile(const QByteArray& bytes)
{
    static int run = 0;
    Settings::setFileName(QStringLiteral("settings-%1").arg(++run));
    const QString path = Settings{QString()}.fileName();
    QDir().mkpath(QFileInfo(path).path());
    writeFile(path, bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void fail(const QString& what)
{
    std::fprintf(stderr, "FUZZ FINDING: %s\n", qUtf8Printable(what));
    std::abort();
}

bool wellFormed(const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

} // namespace FuzzEnvironment

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    init();
    if (FuzzEnvironment::setUp)
        FuzzEnvironment::setUp();
    return 0;
}
