#include "TypingQueue.h"

#include <QChar>
#include <QDebug>

#include <algorithm>

TypingQueue::TypingQueue(TextWriter* writer)
    : QObject(nullptr)
    , writer(writer)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &TypingQueue::step);
}

TypingQueue::~TypingQueue() = default;

bool TypingQueue::addText(unsigned long window, const QString& text, bool followsFocus)
{
    Job job;
    job.typing = TextWriter::Typing(window, text, followsFocus);
    jobs.push_back(std::move(job));
    if (jobs.size() > 1)
        return window != 0;
    lastTextFailed = false;
    step();
    // A text typed or refused in that first piece answers as the writer did.
    return window != 0 && !lastTextFailed;
}

bool TypingQueue::addKey(unsigned long window, const HotKeyInfo& hotkey)
{
    if (jobs.empty())
        return writer->writeKey(window, hotkey);
    Job job;
    job.typing.window = window;
    job.hotkey = hotkey;
    job.isKey = true;
    jobs.push_back(std::move(job));
    return true;
}

void TypingQueue::stopAfterWord()
{
    if (jobs.empty())
        return;
    int dropped = 0;
    auto kept = jobs.begin();
    if (!kept->isKey) {
        TextWriter::Typing& typing = kept->typing;
        const bool betweenWords = typing.next == 0 || QChar::isSpace(typing.characters[typing.next - 1]);
        const int limit = betweenWords ? typing.next : std::min(typing.end, typing.next + MaxWordAfterStop);
        int cut = typing.next;
        while (cut < limit && !QChar::isSpace(typing.characters[cut]))
            ++cut;
        dropped += typing.end - cut;
        typing.end = cut;
        ++kept;
    }
    for (auto it = kept; it != jobs.end(); ++it) {
        if (!it->isKey)
            dropped += it->typing.end - it->typing.next;
    }
    jobs.erase(kept, jobs.end());
    if (jobs.empty())
        schedule(0);
    if (dropped > 0) {
        qWarning().noquote() << QStringLiteral("Typing stopped: %1 characters received were not typed").arg(dropped);
        emit stopped(dropped);
    }
}

int TypingQueue::abandon()
{
    int dropped = 0;
    for (const Job& job : jobs) {
        if (!job.isKey)
            dropped += job.typing.end - job.typing.next;
    }
    jobs.clear();
    timer.stop();
    finishing = false;
    return dropped;
}

void TypingQueue::schedule(int waitMs)
{
    timer.start(std::max(0, waitMs));
}

void TypingQueue::step()
{
    timer.stop();
    if (jobs.empty()) {
        const int wait = writer->finishTyping();
        finishing = wait > 0;
        if (finishing)
            schedule(wait);
        else
            emit idle();
        return;
    }
    Job& job = jobs.front();
    int wait = 0;
    if (job.isKey) {
        writer->writeKey(job.typing.window, job.hotkey);
        jobs.pop_front();
    } else {
        wait = writer->typeSome(job.typing);
        if (job.typing.focusLost) {
            lastTextFailed = true;
            dropAfterFocusLoss();
        } else if (job.typing.done()) {
            lastTextFailed = job.typing.failed || job.typing.untyped > 0;
            jobs.pop_front();
        }
    }
    schedule(wait);
}

void TypingQueue::dropAfterFocusLoss()
{
    // Whatever came for that window was meant for it while it had the focus.
    const unsigned long window = jobs.front().typing.window;
    int dropped = 0;
    for (auto it = jobs.begin(); it != jobs.end();) {
        if (it->typing.window != window) {
            ++it;
            continue;
        }
        if (!it->isKey)
            dropped += it->typing.end - it->typing.next;
        it = jobs.erase(it);
    }
    if (dropped > 0) {
        qWarning().noquote()
            << QStringLiteral("Typing stopped, the window lost the focus: %1 characters received were not typed").arg(dropped);
        emit stopped(dropped);
    }
}
