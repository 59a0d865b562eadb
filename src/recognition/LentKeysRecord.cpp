#include "LentKeysRecord.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtDebug>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A record holds at most the 248 keycodes of a keyboard: anything larger is not ours.
constexpr qint64 maxRecordSize = 64 * 1024;
constexpr int maxKeysymsPerKeycode = 16;
constexpr int maxRecordsRead = 64;

QString recordFolder()
{
    // The runtime folder goes with the session, as the keyboard map does.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return folder;
}

QString recordPrefix(const QString& displayName)
{
    QString name = displayName;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._]")), QStringLiteral("_"));
    return QStringLiteral("lent-keys-") + name + QLatin1Char('-');
}

// The start time of a process in clock ticks since boot: with the pid it names one process.
QByteArray processStart(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray line = stat.read(4096);
    // The command name may hold spaces and parentheses: the fields follow its last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 19 ? fields.at(19) : QByteArray();
}

QByteArray owner()
{
    const qint64 pid = ::getpid();
    return QByteArray::number(pid) + ' ' + processStart(pid);
}

bool isRunning(const QByteArray& ownerLine)
{
    const QList<QByteArray> fields = ownerLine.trimmed().split(' ');
    bool ok = false;
    const qint64 pid = fields.value(0).toLongLong(&ok);
    if (!ok || pid <= 0 || fields.size() != 2)
        return false;
    return processStart(pid) == fields.at(1);
}

// The record's bytes, read as RunGuard reads its lock: never through a link, never
// waiting on a FIFO, never more than a record holds. False when the entry is
// not a regular file of this user; `tooLarge` when it holds more than a record.
bool readRecord(const QString& path, QByteArray* text, bool* tooLarge)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        ::close(fd);
        return false;
    }
    text->resize(int(maxRecordSize) + 1);
    qint64 size = 0;
    while (size < text->size()) {
        const ssize_t got = ::read(fd, text->data() + size, size_t(text->size() - size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        size += got;
    }
    ::close(fd);
    *tooLarge = size > maxRecordSize;
    text->resize(int(size));
    return true;
}

// Adds the record's keys when its writer has ended; false when it still runs.
bool readEnded(const QByteArray& text, LentKeysRecord::Keys* keys)
{
    const QList<QByteArray> lines = text.split('\n');
    if (isRunning(lines.first()))
        return false;
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split(' ');
        bool ok = false;
        const uint keycode = fields.first().toUInt(&ok);
        if (!ok || keycode < 8 || keycode > 255 || fields.size() > maxKeysymsPerKeycode + 1)
            continue;
        QVector<unsigned long> keysyms = keys->value(static_cast<quint8>(keycode));
        for (int f = 1; f < fields.size() && ok; ++f)
            keysyms << fields.at(f).toULong(&ok, 16);
        if (ok && !keysyms.isEmpty())
            keys->insert(static_cast<quint8>(keycode), keysyms);
    }
    return true;
}

// Only regular files are records: QDir::Files also lists links, whatever they point to.
bool isPlainFile(const QString& path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}
} // namespace

LentKeysRecord::LentKeysRecord(const QString& displayName)
{
    static QAtomicInt writers;
    const QString folder = recordFolder();
    if (!folder.isEmpty())
        filePath = folder + QLatin1Char('/') + recordPrefix(displayName)
            + QStringLiteral("%1-%2").arg(::getpid()).arg(writers.fetchAndAddRelaxed(1));
}

bool LentKeysRecord::save(const Keys& keys)
{
    if (filePath.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(filePath).path());
    QSaveFile file(filePath);
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved) {
        QByteArray text = owner() + '\n';
        for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
            text += QByteArray::number(it.key());
            for (unsigned long keysym : it.value())
                text += ' ' + QByteArray::number(qulonglong(keysym), 16);
            text += '\n';
        }
        saved = file.write(text) == text.size() && file.commit();
    }
    if (!saved && !saveFailureLogged)
        qWarning().noquote() << "XTextWriter: cannot write" << filePath
                             << "; keys lent to characters stay lent should the client end abruptly";
    saveFailureLogged = saveFailureLogged || !saved;
    return saved;
}

void LentKeysRecord::remove()
{
    if (!filePath.isEmpty())
        QFile::remove(filePath);
}

LentKeysRecord::Keys LentKeysRecord::takeLeftByEndedCopies(const QString& displayName)
{
    Keys keys;
    const QString folder = recordFolder();
    if (folder.isEmpty())
        return keys;
    const QDir dir(folder);
    const QStringList names = dir.entryList({recordPrefix(displayName) + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    int read = 0;
    QStringList strangers;
    for (const QString& name : names) {
        if (read == maxRecordsRead)
            break;
        const QString path = dir.filePath(name);
        QByteArray text;
        bool tooLarge = false;
        // Not written by a writer, so not ours to remove.
        if (!isPlainFile(path) || !readRecord(path, &text, &tooLarge)) {
            strangers << path;
            continue;
        }
        ++read;
        if (tooLarge || readEnded(text, &keys))
            QFile::remove(path);
    }
    if (!strangers.isEmpty())
        qWarning().noquote() << "XTextWriter: left alone" << strangers.size() << "entries named like records of lent keys"
                             << "that are no regular files of this user, such as" << strangers.first();
    return keys;
}
