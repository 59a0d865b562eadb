#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "FileDialog".
class FileDialogSettings : public Settings
{
    Q_OBJECT

public:
    FileDialogSettings();
    ~FileDialogSettings() override;

    Setting<QString> LastFilePath;
};
