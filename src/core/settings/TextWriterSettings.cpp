#include "TextWriterSettings.h"

TextWriterSettings::TextWriterSettings()
    : Settings(QStringLiteral("TextWriter"))
    , SymbolDelay(this, QStringLiteral("SymbolDelay"), 0)
    , EnterDelay(this, QStringLiteral("EnterDelay"), 50)
{
}

TextWriterSettings::~TextWriterSettings() = default;
