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
        qWarning() << "Cannot start program" << command.Text;
        result.setError(QStringLiteral("Не удалось запустить программу \"%1\"").arg(command.Text));
    }
    return result;
}
