#include "TextWriter.h"

#include "XTextWriter.h"

TextWriter* TextWriter::Writer = nullptr;

TextWriter::~TextWriter() = default;

void TextWriter::Init()
{
    if (!Writer)
        Writer = new XTextWriter;
}

void TextWriter::Cleanup()
{
    delete Writer;
    Writer = nullptr;
}

bool TextWriter::WriteText(unsigned long window, QString text)
{
    return Writer && Writer->writeText(window, text);
}

bool TextWriter::WriteKey(unsigned long window, const HotKeyInfo& hotkey)
{
    return Writer && Writer->writeKey(window, hotkey);
}

unsigned long TextWriter::GetFocusedWindow()
{
    return Writer ? Writer->getFocusedWindow() : 0;
}

bool TextWriter::GetWindowRect(unsigned long window, QRect* rect)
{
    return Writer && Writer->getWindowRect(window, rect);
}
