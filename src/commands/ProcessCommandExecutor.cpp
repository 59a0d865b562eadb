#include "ProcessCommandExecutor.h"

#include <QProcess>
#include <QtDebug>

ProcessCommandExecutor::ProcessCommandExecutor(QObject* parent)
    : UserCommandExecutor(parent)
{
}

ProcessCommandExecutor::~ProcessCommandExecutor() = default;

CommandResult ProcessCommandExecutor::Execute(UserCommand command) const
{
    CommandResult result;
    if (!QProcess::startDetached(command.Text, QStringList())) {
        qWarning().noquote() << "Cannot start program of command" << command.Id;
        result.setError(QStringLiteral("Не удалось запустить программу \"%1\"").arg(command.Text));
    }
    return result;
}
