#include "FileCopyCommandExecutor.h"

#include <QFileInfo>

FileCopyCommandExecutor::FileCopyCommandExecutor(QObject* parent)
    : UserCommandExecutor(parent)
    , reader(new CompositeFileReader(this))
{
}

FileCopyCommandExecutor::~FileCopyCommandExecutor() = default;

void FileCopyCommandExecutor::setCancellation(CancellationConditionPtr condition)
{
    reader->setCancellation(std::move(condition));
}

CommandResult FileCopyCommandExecutor::Execute(UserCommand command) const
{
    QString error;
    QString text = reader->ReadFile(command.Text, &error);
    if (!error.isEmpty()) {
        // The notice must say which of the user's documents failed.
        const QString name = QFileInfo(command.Text).fileName();
        error = QStringLiteral("Не удалось вставить документ «%1». %2").arg(name.isEmpty() ? command.Text : name, error);
    }
    text.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    if (!text.isEmpty() && !text.at(0).isSpace())
        text.prepend(QLatin1Char(' '));

    CommandResult result;
    result.setResult(text);
    result.setError(error);
    return result;
}
