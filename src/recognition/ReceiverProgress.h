#pragma once

#include <QtGlobal>

#include <deque>

// How far a window that receives typed keys has surely read them. An X client
// decodes a key event with the keyboard map it holds when it reads the event,
// so a lent keycode may change its meaning only once every event that used it
// has been read. A window that answers _NET_WM_PING says so: its answer comes
// after every event sent before the ping. Keys no answer covers are taken as
// read only long after they were sent, when a program that still holds them
// is hung. Keys are numbered by the writer, in the order sent. Lives in the
// GUI thread, owned by the writer.
class ReceiverProgress
{
public:
    // Keys not confirmed by an answer are taken as read this long after they
    // were sent (far longer than a freeze a user sits out: a lent key costs
    // nobody anything), and no sooner than a slow program reads them one after
    // another: a long text may leave such a program far behind the writer.
    static constexpr qint64 AssumedReadAfterUs = 60000000;
    static constexpr int AssumedReadKeysPerSecond = 250;
    // A window that does not answer gets keys no faster than this, after a first
    // burst: about what such programs read, so that it never falls far behind
    // (and a stop is seen there soon after it is made).
    static constexpr int UnansweredKeysPerSecond = 2000;
    static constexpr int UnansweredBurst = 200;

    // pingWindow: the top-level window that answers pings, 0 when none does.
    explicit ReceiverProgress(unsigned long pingWindow = 0);

    unsigned long pingWindow() const { return pinged; }
    bool canPing() const { return pinged != 0; }

    void keySent(quint64 key, qint64 nowUs, bool lent);
    // How long to wait before the next key may go (0: now).
    qint64 paceWaitUs(qint64 nowUs) const;
    quint64 lastKeySent() const { return lastSent; }
    qint64 lastSentUs() const { return lastSentAtUs; }

    // Keys were sent since the last ping, and not too many pings wait for an answer.
    bool wantsPing() const;
    // A ping with this id now covers every key sent so far.
    void pingSent(quint32 id);
    void pongReceived(quint32 id);

    // Every key up to this number has been read (confirmed, or sent long enough ago).
    quint64 readUpTo(qint64 nowUs) const;
    // When the key will be taken as read without an answer.
    qint64 assumedReadAtUs(quint64 key) const;
    // Keys typed on lent keycodes that are not known to be read.
    int unreadLentKeys(qint64 nowUs);

private:
    struct Ping
    {
        quint32 id = 0;
        quint64 key = 0;
    };
    struct Sent
    {
        // When the keys up to this one count as read.
        qint64 readAtUs = 0;
        quint64 key = 0;
    };

    void forgetRead(qint64 nowUs);

    unsigned long pinged = 0;
    quint64 lastSent = 0;
    // When the next key is due at the steady pace of a window that does not answer.
    qint64 nextKeyDueUs = 0;
    qint64 lastSentAtUs = 0;
    // When a program reading at the assumed slow pace has read the last key sent.
    qint64 slowReaderAtUs = 0;
    // Read for sure: answered, or sent long enough ago.
    quint64 knownRead = 0;
    quint64 pingedUpTo = 0;
    std::deque<Ping> pings;
    // When keys count as read, one entry a millisecond.
    std::deque<Sent> sent;
    std::deque<quint64> lentKeys;
};
