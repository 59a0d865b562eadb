#include "ProcessCommandExecutor.h"

#include "FileModes.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtDebug>

namespace {
// The program file a command names, found as exec would find it; empty when none can run.
QString executable(const QString& program)
{
    if (!program.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(program);
    const QFileInfo file(program);
    return file.isFile() && file.isExecutable() ? program : QString();
}
} // namespace

ProcessCommandExecutor::ProcessCommandExecutor(QObject* parent)
    : UserCommandExecutor(parent)
{
}

ProcessCommandExecutor::~ProcessCommandExecutor() = default;

CommandResult ProcessCommandExecutor::Execute(UserCommand command) const
{
    CommandResult result;
    const QString program = executable(command.Text);
    // The user's program makes its files with the user's own mask, not the
    // client's private one; Qt offers no hook in a detached child to set it.
    const int mask = FileModes::userMask();
    const QString script = QStringLiteral("umask %1 && exec \"$0\"").arg(mask, 4, 8, QLatin1Char('0'));
    const bool started = !program.isEmpty()
        && (mask < 0 ? QProcess::startDetached(program, QStringList())
                     : QProcess::startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, program}));
    if (!started) {
        qWarning().noquote() << "Cannot start program of command" << command.Id;
        result.setError(QStringLiteral("Не удалось запустить программу \"%1\"").arg(command.Text));
    }
    return result;
}
