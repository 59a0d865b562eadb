#include "ReceiverProgress.h"

#include <algorithm>
#include <iterator>

namespace {
// A receiver that lets this many pings go unanswered is slow or stuck: more would only queue up.
constexpr size_t maxOutstandingPings = 32;
} // namespace

ReceiverProgress::ReceiverProgress(unsigned long pingWindow)
    : pinged(pingWindow)
{
}

void ReceiverProgress::keySent(quint64 key, qint64 nowUs, bool lent)
{
    constexpr qint64 interval = 1000000 / UnansweredKeysPerSecond;
    nextKeyDueUs = std::max(nextKeyDueUs, nowUs - UnansweredBurst * interval) + interval;
    lastSent = key;
    lastSentAtUs = nowUs;
    slowReaderAtUs = std::max(slowReaderAtUs, nowUs) + 1000000 / AssumedReadKeysPerSecond;
    const qint64 readAtUs = std::max(nowUs + AssumedReadAfterUs, slowReaderAtUs);
    if (!sent.empty() && readAtUs - sent.back().readAtUs < 1000) {
        sent.back() = {readAtUs, key};
    } else {
        forgetRead(nowUs);
        sent.push_back({readAtUs, key});
    }
    if (lent)
        lentKeys.push_back(key);
}

qint64 ReceiverProgress::paceWaitUs(qint64 nowUs) const
{
    return canPing() ? 0 : std::max<qint64>(0, nextKeyDueUs - nowUs);
}

bool ReceiverProgress::wantsPing() const
{
    return canPing() && pingedUpTo < lastSent && pings.size() < maxOutstandingPings;
}

void ReceiverProgress::pingSent(quint32 id)
{
    pings.push_back({id, lastSent});
    pingedUpTo = lastSent;
}

void ReceiverProgress::pongReceived(quint32 id)
{
    // Answers come in order; an unknown id (an answer to someone else) changes nothing.
    const auto answered = std::find_if(pings.cbegin(), pings.cend(), [id](const Ping& ping) { return ping.id == id; });
    if (answered == pings.cend())
        return;
    knownRead = std::max(knownRead, answered->key);
    pings.erase(pings.cbegin(), answered + 1);
}

// Entries go in the order sent, so both their keys and their times grow: a
// minute of keys is searched, not walked.
quint64 ReceiverProgress::readUpTo(qint64 nowUs) const
{
    const auto due = std::upper_bound(sent.cbegin(), sent.cend(), nowUs,
                                      [](qint64 now, const Sent& entry) { return now < entry.readAtUs; });
    return due == sent.cbegin() ? knownRead : std::max(knownRead, std::prev(due)->key);
}

qint64 ReceiverProgress::assumedReadAtUs(quint64 key) const
{
    if (key <= knownRead)
        return 0;
    const auto holding = std::lower_bound(sent.cbegin(), sent.cend(), key,
                                          [](const Sent& entry, quint64 wanted) { return entry.key < wanted; });
    if (holding != sent.cend())
        return holding->readAtUs;
    return std::max(lastSentAtUs + AssumedReadAfterUs, slowReaderAtUs);
}

void ReceiverProgress::forgetRead(qint64 nowUs)
{
    knownRead = readUpTo(nowUs);
    while (!sent.empty() && sent.front().key <= knownRead)
        sent.pop_front();
    while (!lentKeys.empty() && lentKeys.front() <= knownRead)
        lentKeys.pop_front();
}

int ReceiverProgress::unreadLentKeys(qint64 nowUs)
{
    forgetRead(nowUs);
    return static_cast<int>(lentKeys.size());
}
