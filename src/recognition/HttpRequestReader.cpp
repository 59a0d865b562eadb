#include "HttpRequestReader.h"

#include "HttpFields.h"

#include <algorithm>

namespace {
bool isBlank(char c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

bool isDigits(const QByteArray& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

enum class Version { Malformed, Http1, Other };

// RFC 9112, 2.3: "HTTP/" DIGIT "." DIGIT; a later major version alone ("HTTP/2") is told apart.
Version versionOf(const QByteArray& text)
{
    const QList<QByteArray> numbers = text.mid(5).split('.');
    if (!text.startsWith("HTTP/") || numbers.size() > 2 || !std::all_of(numbers.begin(), numbers.end(), isDigits))
        return Version::Malformed;
    if (numbers.first() != "1")
        return Version::Other;
    return numbers.size() == 2 && numbers.last().size() == 1 ? Version::Http1 : Version::Malformed;
}

QByteArray withoutCarriageReturn(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}
} // namespace

HttpRequestReader::HttpRequestReader(qint64 maxSize)
    : m_maxSize(maxSize)
{
}

HttpRequestReader::State HttpRequestReader::append(const QByteArray& bytes)
{
    if (m_state != State::Incomplete)
        return m_state;
    // Blank lines before the request line are tolerated, as RFC 9112 asks, in one pass and without keeping them.
    int from = 0;
    if (m_buffer.isEmpty() && m_maxLineSize == 0) {
        while (from < bytes.size() && isBlank(bytes.at(from)))
            ++from;
    }
    // Bytes past the limit matter only when the request has not ended before it.
    const qint64 room = std::max<qint64>(0, m_maxSize + 1 - m_buffer.size());
    m_buffer += bytes.mid(from, int(std::min<qint64>(room, bytes.size() - from)));
    const State state = headersComplete() ? checkBody() : readHead();
    if (state == State::Incomplete && m_buffer.size() > m_maxSize)
        return fail(413, QStringLiteral("The request is larger than %1 bytes").arg(m_maxSize));
    return state;
}

HttpRequestReader::State HttpRequestReader::readHead()
{
    // Line by line from where the last piece ended: the blank line may be split across pieces.
    int lineStart = m_scanFrom;
    for (int end = m_buffer.indexOf('\n', lineStart); end >= 0; end = m_buffer.indexOf('\n', lineStart)) {
        const bool blank = end == lineStart || (end == lineStart + 1 && m_buffer.at(lineStart) == '\r');
        if (m_maxLineSize > 0 && checkStrictLine(lineStart, end) == State::Failed)
            return m_state;
        lineStart = end + 1;
        if (blank && end < MaxHeadSize) {
            m_bodyStart = lineStart;
            const State head = parseHead(m_buffer.left(end));
            return head == State::Failed ? head : checkBody();
        }
        if (blank || ++m_headLines > MaxHeaderLines + 1)
            return failHeadTooLarge();
    }
    m_scanFrom = lineStart;
    if (m_buffer.size() > MaxHeadSize)
        return failHeadTooLarge();
    // Told at once, not when the line ends: a line of cookies may be long.
    if (m_maxLineSize > 0 && m_buffer.size() - lineStart > m_maxLineSize + 1)
        return checkStrictLine(lineStart, m_buffer.size());
    return m_state;
}

HttpRequestReader::State HttpRequestReader::checkStrictLine(int start, int end)
{
    const bool crlf = end > start && end < m_buffer.size() && m_buffer.at(end - 1) == '\r';
    if (end - start - (crlf ? 1 : 0) > m_maxLineSize)
        return fail(431, QStringLiteral("A line of the request head is longer than %1 bytes").arg(m_maxLineSize));
    if (!crlf)
        return fail(400, QStringLiteral("A line of the request head does not end with CR LF"));
    return m_state;
}

HttpRequestReader::State HttpRequestReader::failHeadTooLarge()
{
    return fail(431, QStringLiteral("The request head is larger than %1 bytes or %2 header lines")
                         .arg(MaxHeadSize)
                         .arg(MaxHeaderLines));
}

HttpRequestReader::State HttpRequestReader::parseHead(const QByteArray& head)
{
    const QList<QByteArray> lines = head.trimmed().split('\n');
    const QList<QByteArray> requestLine = withoutCarriageReturn(lines.first()).split(' ');
    if (requestLine.size() < 2 || requestLine.size() > 3)
        return fail(400, QStringLiteral("The request line is not 'METHOD target HTTP/1.1'"));
    m_method = requestLine.at(0).trimmed();
    m_target = requestLine.at(1).trimmed();
    const Version version = requestLine.size() == 3 ? versionOf(requestLine.at(2).trimmed()) : Version::Http1;
    if (!HttpFields::isToken(m_method) || m_target.isEmpty() || !HttpFields::isValue(m_target)
        || version == Version::Malformed)
        return fail(400, QStringLiteral("The request line is not 'METHOD target HTTP/1.1'"));
    if (version == Version::Other)
        return fail(505, QStringLiteral("Only HTTP/1.x is served"));

    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = withoutCarriageReturn(lines.at(i));
        const int colon = line.indexOf(':');
        // Folded continuation lines are obsolete and ambiguous: refused, not joined.
        if (colon <= 0 || line.startsWith(' ') || line.startsWith('\t'))
            return fail(400, QStringLiteral("Header line %1 is not 'Name: value'").arg(i));
        const QByteArray name = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        // A stray carriage return would start a header of its own upstream.
        if (!HttpFields::isToken(name) || !HttpFields::isValue(value))
            return fail(400, QStringLiteral("Header line %1 has an invalid name or value").arg(i));
        m_headers.append({name, value});
    }

    if (!header("Transfer-Encoding").isNull())
        return fail(411, QStringLiteral("Request bodies must come with Content-Length"));
    // Two of them would let the Host check and the forwarded request, or two
    // readers of the body, each take a different one.
    for (const QByteArray name : {"Host", "Content-Length"}) {
        if (headerValues(name).size() > 1)
            return fail(400, QStringLiteral("More than one %1 header").arg(QString::fromLatin1(name)));
    }
    const QByteArray length = header("Content-Length");
    if (!length.isNull()) {
        if (!isDigits(length))
            return fail(400, QStringLiteral("Content-Length is not a number of bytes"));
        bool ok = false;
        m_contentLength = length.toLongLong(&ok);
        if (!ok || m_contentLength > m_maxSize - m_bodyStart)
            return fail(413, QStringLiteral("The request is larger than %1 bytes").arg(m_maxSize));
    }
    return m_state;
}

HttpRequestReader::State HttpRequestReader::checkBody()
{
    if (m_buffer.size() - m_bodyStart >= m_contentLength)
        m_state = State::Complete;
    return m_state;
}

HttpRequestReader::State HttpRequestReader::fail(int status, const QString& text)
{
    m_state = State::Failed;
    m_errorStatus = status;
    m_errorText = text;
    m_buffer.clear();
    return m_state;
}

QByteArray HttpRequestReader::header(const QByteArray& name) const
{
    for (const Header& h : m_headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return QByteArray();
}

QList<QByteArray> HttpRequestReader::headerValues(const QByteArray& name) const
{
    QList<QByteArray> values;
    for (const Header& h : m_headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            values.append(h.second);
    }
    return values;
}

QByteArray HttpRequestReader::body() const
{
    if (m_state != State::Complete)
        return QByteArray();
    // Bytes after the body (a stray line end) are not part of this request.
    return m_buffer.mid(m_bodyStart, int(m_contentLength));
}

QByteArray HttpRequestReader::errorReason() const
{
    switch (m_errorStatus) {
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Bad Request";
    }
}
