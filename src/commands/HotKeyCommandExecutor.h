#pragma once

#include "UserCommandExecutor.h"

class XHotKeyConverter;

// Presses the command's key chord in the window that has the focus now.
class HotKeyCommandExecutor : public UserCommandExecutor
{
    Q_OBJECT

public:
    explicit HotKeyCommandExecutor(QObject* parent = nullptr);
    ~HotKeyCommandExecutor() override;

    CommandResult Execute(UserCommand command) const override;

    // The process-wide converter of key commands, made on first use.
    static const XHotKeyConverter& converter();
};
