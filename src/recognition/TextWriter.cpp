#include "TextWriter.h"

#include "TypingQueue.h"
#include "XTextWriter.h"

#include <QDebug>

#include <algorithm>

TextWriter* TextWriter::Writer = nullptr;

TextWriter::Typing::Typing(unsigned long window, const QString& text, bool followsFocus)
    : window(window)
    , characters(text.toUcs4())
    , end(characters.size())
    , followsFocus(followsFocus)
{
}

int TextWriter::Typing::wordEnd(int from) const
{
    int at = from;
    while (at < end && QChar::isSpace(characters[at]))
        ++at;
    const int limit = std::min(end, at + TypingQueue::MaxWordAfterStop);
    while (at < limit && !QChar::isSpace(characters[at]))
        ++at;
    return at;
}

TextWriter::TextWriter()
    : typingQueue(new TypingQueue(this))
{
}

TextWriter::~TextWriter() = default;

int TextWriter::typeSome(Typing& typing)
{
    const QVector<uint> rest = typing.characters.mid(typing.next, typing.end - typing.next);
    if (!writeText(typing.window, QString::fromUcs4(rest.constData(), rest.size())))
        typing.failed = true;
    typing.next = typing.end;
    return 0;
}

int TextWriter::finishTyping()
{
    return 0;
}

int TextWriter::releaseBorrowed(int)
{
    return 0;
}

void TextWriter::Init()
{
    if (!Writer)
        Writer = new XTextWriter;
}

void TextWriter::Cleanup()
{
    if (Writer) {
        const int dropped = Writer->queue()->abandon();
        const int unread = Writer->releaseBorrowed(EndingWaitMs);
        if (dropped + unread > 0)
            qWarning().noquote() << QStringLiteral("Typing ended with the program: %1 characters received were not "
                                                   "typed, %2 may not have reached the window as typed")
                                        .arg(dropped)
                                        .arg(unread);
    }
    delete Writer;
    Writer = nullptr;
}

bool TextWriter::WriteText(unsigned long window, QString text, bool inBackground)
{
    return Writer && Writer->queue()->addText(window, text, !inBackground);
}

bool TextWriter::WriteKey(unsigned long window, const HotKeyInfo& hotkey)
{
    return Writer && Writer->queue()->addKey(window, hotkey);
}

unsigned long TextWriter::GetFocusedWindow()
{
    return Writer ? Writer->getFocusedWindow() : 0;
}

bool TextWriter::GetWindowRect(unsigned long window, QRect* rect)
{
    return Writer && Writer->getWindowRect(window, rect);
}

void TextWriter::StopTyping()
{
    if (Writer)
        Writer->queue()->stopAfterWord();
}
