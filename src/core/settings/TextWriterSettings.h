#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "TextWriter".
class TextWriterSettings : public Settings
{
    Q_OBJECT

public:
    TextWriterSettings();
    ~TextWriterSettings() override;

    Setting<int> SymbolDelay;
    Setting<int> EnterDelay;
};
