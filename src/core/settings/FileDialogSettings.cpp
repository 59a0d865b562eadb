#include "FileDialogSettings.h"

FileDialogSettings::FileDialogSettings()
    : Settings(QStringLiteral("FileDialog"))
    , LastFilePath(this, QStringLiteral("LastFilePath"), QString())
{
}

FileDialogSettings::~FileDialogSettings() = default;
