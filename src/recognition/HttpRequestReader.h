#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Reads one HTTP/1.x request from bytes that arrive in pieces: the request
// line, the header lines up to the blank line (CRLF or bare LF line ends),
// then exactly Content-Length bytes of body. Malformed or oversized input
// fails with the HTTP status to answer. Line ends before the request line are
// skipped as they arrive and cost no memory.
class HttpRequestReader
{
public:
    enum class State { Incomplete, Complete, Failed };
    using Header = QPair<QByteArray, QByteArray>;

    static constexpr qint64 DefaultMaxSize = 10 * 1024 * 1024;
    // A form's request head is a few hundred bytes; past these, 431.
    static constexpr int MaxHeadSize = 64 * 1024;
    static constexpr int MaxHeaderLines = 100;

    explicit HttpRequestReader(qint64 maxSize = DefaultMaxSize);

    // For a head that Qt reads again (a WebSocket handshake), which it closes
    // unanswered unless every line ends with CR LF, the request line comes first
    // and no line is longer than maxLineSize: a longer line fails with 431, the
    // rest with 400. Set before the first append.
    void setStrictLines(int maxLineSize) { m_maxLineSize = maxLineSize; }

    // Takes the next bytes; once complete or failed, further bytes are ignored.
    State append(const QByteArray& bytes);
    State state() const { return m_state; }
    bool headersComplete() const { return m_bodyStart >= 0; }

    QByteArray method() const { return m_method; }
    QByteArray target() const { return m_target; }
    // In arrival order; names as sent, values trimmed.
    QList<Header> headers() const { return m_headers; }
    // The first value of a header, names compared without regard to case; null when absent.
    QByteArray header(const QByteArray& name) const;
    // Every value of a header, in arrival order.
    QList<QByteArray> headerValues(const QByteArray& name) const;
    QByteArray body() const;
    // What this request holds in memory.
    qint64 bufferedSize() const { return m_buffer.size(); }

    int errorStatus() const { return m_errorStatus; }
    QByteArray errorReason() const;
    QString errorText() const { return m_errorText; }

private:
    State readHead();
    State parseHead(const QByteArray& head);
    State checkBody();
    State failHeadTooLarge();
    // A line of the head, from its start to its line feed, against the strict rules.
    State checkStrictLine(int start, int end);
    State fail(int status, const QString& text);

    qint64 m_maxSize;
    QByteArray m_buffer;
    State m_state = State::Incomplete;
    int m_scanFrom = 0;
    int m_headLines = 0;
    int m_maxLineSize = 0;
    int m_bodyStart = -1;
    qint64 m_contentLength = 0;
    QByteArray m_method;
    QByteArray m_target;
    QList<Header> m_headers;
    int m_errorStatus = 0;
    QString m_errorText;
};
