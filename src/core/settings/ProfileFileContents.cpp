#include "ProfileFileContents.h"

#include <QFile>
#include <QTextCodec>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int digitValue(QChar c, int base)
{
    const ushort u = c.unicode();
    int value = -1;
    if (u >= '0' && u <= '9')
        value = u - '0';
    else if (u >= 'a' && u <= 'f')
        value = u - 'a' + 10;
    else if (u >= 'A' && u <= 'F')
        value = u - 'A' + 10;
    return value < base ? value : -1;
}

// Greedy, as Qt reads them: Qt escapes a digit that follows an escape too.
// Returns the count of digits read.
int readNumber(const QString& text, int* i, int base, uint* value)
{
    int digits = 0;
    for (int digit = 0; *i < text.size() && (digit = digitValue(text.at(*i), base)) >= 0; ++*i, ++digits)
        *value = (*value * uint(base) + uint(digit)) & 0xFFFFu;
    return digits;
}

// The position of the first double quote from `from` on that no backslash
// escapes; -1 when there is none.
int unescapedQuote(const QString& text, int from)
{
    for (int i = from; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\\'))
            ++i;
        else if (text.at(i) == QLatin1Char('"'))
            return i;
    }
    return -1;
}

} // namespace

ProfileFileContents ProfileFileContents::read(const QString& path)
{
    ProfileFileContents contents;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT)
            contents.failure = QStringLiteral("it cannot be opened: ") + QString::fromLocal8Bit(std::strerror(errno));
        return contents;
    }
    struct stat status;
    QByteArray bytes;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        contents.failure = QStringLiteral("it is not a regular file");
    } else {
        // The size is checked on what is read: the file may grow meanwhile.
        bytes.resize(int(MaxFileSize) + 1);
        int filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
            if (got > 0) {
                filled += int(got);
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                contents.failure = QStringLiteral("it cannot be read: ") + QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
        }
        bytes.truncate(filled);
        if (filled > MaxFileSize)
            contents.failure = QStringLiteral("it is larger than %1 bytes").arg(MaxFileSize);
    }
    ::close(fd);
    if (contents.failure.isEmpty())
        contents.parse(bytes);
    if (!contents.failure.isEmpty())
        contents.values.clear();
    return contents;
}

void ProfileFileContents::parse(const QByteArray& bytes)
{
    if (bytes.contains('\0')) {
        failure = QStringLiteral("it holds a zero byte: not text");
        return;
    }
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0) {
        failure = QStringLiteral("it is not UTF-8 text");
        return;
    }
    QString group;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int end = line.indexOf(QLatin1Char(']'));
            if (end > 0) {
                group = line.mid(1, end - 1).trimmed();
                if (group == QLatin1String("General"))
                    group.clear();
            }
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        QString key = line.left(equals).trimmed().replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!group.isEmpty())
            key = group + QLatin1Char('/') + key;
        const QString value = decodeValue(line.mid(equals + 1).trimmed());
        if (value.size() > MaxValueLength) {
            failure = QStringLiteral("the value of %1 is longer than %2 characters").arg(key).arg(MaxValueLength);
            return;
        }
        values.insert(key, value);
    }
}

QString ProfileFileContents::decodeValue(const QString& raw)
{
    // Qt quotes a whole value that holds a comma, a semicolon or an equals sign,
    // or that starts or ends with a blank; any other double quote is the text's own.
    const bool quotedWhole =
        raw.size() >= 2 && raw.startsWith(QLatin1Char('"')) && unescapedQuote(raw, 1) == raw.size() - 1;
    const QString value = unescape(quotedWhole ? raw.mid(1, raw.size() - 2) : raw);
    // Qt's marks of values that are not plain text.
    if (value.startsWith(QLatin1String("@@")))
        return value.mid(1);
    if (value.startsWith(QLatin1String("@ByteArray(")) && value.endsWith(QLatin1Char(')')))
        return value.mid(11, value.size() - 12);
    if (value == QLatin1String("@Invalid()") || value.startsWith(QLatin1String("@Variant(")))
        return QString();
    return value;
}

QString ProfileFileContents::unescape(const QString& text)
{
    static const QString named = QStringLiteral("abfnrtv\"?'\\");
    static const QString meant = QStringLiteral("\a\b\f\n\r\t\v\"?'\\");
    QString result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\\') || i + 1 == text.size()) {
            result += text.at(i);
            continue;
        }
        const QChar next = text.at(i + 1);
        const int index = named.indexOf(next);
        uint code = 0;
        int at = i + 2;
        if (index >= 0) {
            result += meant.at(index);
            ++i;
        } else if (next == QLatin1Char('x') && readNumber(text, &at, 16, &code) > 0) {
            result += QChar(ushort(code));
            i = at - 1;
        } else if (next >= QLatin1Char('0') && next <= QLatin1Char('7')) {
            at = i + 1;
            readNumber(text, &at, 8, &code);
            result += QChar(ushort(code));
            i = at - 1;
        } else {
            // Not one of Qt's escapes: a backslash the writer meant.
            result += text.at(i);
        }
    }
    return result;
}
