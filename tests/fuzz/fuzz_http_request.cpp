// Raw HTTP requests from any local program through the local proxy's request
// reader, in the pieces the network hands over. Bytes fed in pieces must read
// as they do in one piece (but for which error a request past the size limit
// gets); a complete request has exactly its declared body; a
// failed one names an HTTP error status.
#include "FuzzEnvironment.h"

#include "HttpRequestReader.h"

using FuzzEnvironment::fail;

namespace {
QByteArray describe(const HttpRequestReader& r)
{
    QByteArray text = QByteArray::number(int(r.state())) + ' ' + QByteArray::number(r.errorStatus());
    if (r.state() != HttpRequestReader::State::Complete)
        return text;
    text += ' ' + r.method() + ' ' + r.target() + ' ' + QByteArray::number(r.body().size());
    for (const HttpRequestReader::Header& h : r.headers())
        text += '\n' + h.first + ": " + h.second;
    return text + '\n' + r.body();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size < 1 || size > 256 * 1024)
        return -1;
    // The first byte sets the piece size, a small size limit now and then, and the
    // strict lines of a WebSocket handshake (short ones, so that inputs reach them).
    const int piece = 1 + (uchar(data[0]) & 0x3f);
    const qint64 limit = (uchar(data[0]) & 0x40) ? 512 : HttpRequestReader::DefaultMaxSize;
    const int maxLine = (uchar(data[0]) & 0x80) ? 64 : 0;
    const QByteArray bytes(data + 1, int(size - 1));

    HttpRequestReader whole(limit);
    whole.setStrictLines(maxLine);
    whole.append(bytes);
    HttpRequestReader pieces(limit);
    pieces.setStrictLines(maxLine);
    for (int at = 0; at < bytes.size(); at += piece)
        pieces.append(bytes.mid(at, piece));
    // Past the size limit the answer is 413 or whatever the bytes up to it showed first.
    const bool tooLarge = whole.errorStatus() == 413 || pieces.errorStatus() == 413;
    if (describe(whole) != describe(pieces) && !(tooLarge && pieces.state() == whole.state()))
        fail(QStringLiteral("in pieces of %1 bytes:\n%2\n---\n%3")
                 .arg(piece)
                 .arg(QString::fromLatin1(describe(whole)), QString::fromLatin1(describe(pieces))));

    switch (whole.state()) {
    case HttpRequestReader::State::Complete: {
        const QByteArray length = whole.header("Content-Length");
        if (whole.body().size() != (length.isNull() ? 0 : length.trimmed().toLongLong()))
            fail(QStringLiteral("a body of %1 bytes for Content-Length %2")
                     .arg(whole.body().size())
                     .arg(QString::fromLatin1(length)));
        if (whole.method().isEmpty() || whole.target().isEmpty())
            fail(QStringLiteral("a complete request without method or target"));
        break;
    }
    case HttpRequestReader::State::Failed:
        if (whole.errorStatus() < 400 || whole.errorStatus() > 599 || whole.errorReason().isEmpty())
            fail(QStringLiteral("a failure answered with %1").arg(whole.errorStatus()));
        break;
    case HttpRequestReader::State::Incomplete:
        if (bytes.size() > limit + 1024 * 1024)
            fail(QStringLiteral("%1 bytes still incomplete").arg(bytes.size()));
        break;
    }
    // Bytes after the end change nothing.
    if (whole.state() == HttpRequestReader::State::Incomplete)
        return 0;
    const QByteArray before = describe(whole);
    whole.append("GET / HTTP/1.1\r\n\r\n");
    if (describe(whole) != before)
        fail(QStringLiteral("bytes after the end changed the request"));
    return 0;
}
