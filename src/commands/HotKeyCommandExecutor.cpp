#include "HotKeyCommandExecutor.h"

#include "TextWriter.h"
#include "XHotKeyConverter.h"

HotKeyCommandExecutor::HotKeyCommandExecutor(QObject* parent)
    : UserCommandExecutor(parent)
{
}

HotKeyCommandExecutor::~HotKeyCommandExecutor() = default;

const XHotKeyConverter& HotKeyCommandExecutor::converter()
{
    static const XHotKeyConverter instance;
    return instance;
}

CommandResult HotKeyCommandExecutor::Execute(UserCommand command) const
{
    const HotKeyInfo info = converter().ConvertFromString(command.Text);
    TextWriter::WriteKey(TextWriter::GetFocusedWindow(), info);
    return CommandResult();
}
