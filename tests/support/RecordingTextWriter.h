#pragma once

#include "TextWriter.h"

#include <QList>
#include <QPair>
#include <QRect>
#include <QString>
#include <QStringList>

// A text writer that types nothing and records what it was asked to type, for
// tests of the logic above the X11 writer. Installed as TextWriter::Writer
// while it lives; the test links the recognition library.
class RecordingTextWriter : public TextWriter
{
public:
    RecordingTextWriter() { TextWriter::Writer = this; }
    ~RecordingTextWriter() override
    {
        if (TextWriter::Writer == this)
            TextWriter::Writer = nullptr;
    }

    bool writeText(unsigned long window, QString text) override
    {
        texts.append(qMakePair(window, text));
        return window != 0;
    }
    bool writeKey(unsigned long, const HotKeyInfo&) override { return true; }
    unsigned long getFocusedWindow() override { return focusedWindow; }
    bool getWindowRect(unsigned long, QRect*) override { return false; }

    QStringList typedTexts() const
    {
        QStringList result;
        for (const auto& text : texts)
            result << text.second;
        return result;
    }

    unsigned long focusedWindow = 0;
    QList<QPair<unsigned long, QString>> texts;
};
