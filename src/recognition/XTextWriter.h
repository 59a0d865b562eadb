#pragma once

#include "TextWriter.h"

#include <QList>
#include <QtGlobal>

struct _XDisplay;

// Types into X11 windows with key events sent straight to the target window,
// borrowing a spare keycode for characters that no key produces, and plays
// key chords through XTest. Without a display every operation answers false or 0.
class XTextWriter : public TextWriter
{
public:
    struct XKey
    {
        quint32 unicode = 0;
        quint8 keycode = 0;
        unsigned long keysym = 0;
        // X modifier and group state of the event that produces the character.
        unsigned int state = 0;
        // The key exists on the keyboard map.
        bool mapped = false;
    };

    XTextWriter();
    ~XTextWriter() override;
    XTextWriter(const XTextWriter&) = delete;
    XTextWriter& operator=(const XTextWriter&) = delete;

    bool writeText(unsigned long window, QString text) override;
    bool writeKey(unsigned long window, const HotKeyInfo& hotkey) override;
    unsigned long getFocusedWindow() override;
    bool getWindowRect(unsigned long window, QRect* rect) override;

    bool isOpen() const { return display != nullptr; }
    // The key that types a character; keysym 0 when X has no keysym for it.
    XKey wchar2key(quint32 character) const;

private:
    void buildKeyTable();
    void rebuildKeyTableIfMappingChanged();
    quint8 findSpareKeycode() const;
    void remapKeycode(quint8 keycode, unsigned long keysym);
    void sendKey(unsigned long root, unsigned long window, unsigned long subwindow, const XKey& key, bool press);

    _XDisplay* display = nullptr;
    QList<XKey> keys;
    unsigned long symbolDelay = 0;
    unsigned long enterDelay = 0;
    int xkbEventType = -1;
    bool hasXTest = false;
};
