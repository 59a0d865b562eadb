#include "CommonFileReader.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QtDebug>

#include <exception>

CommonFileReader::CommonFileReader(QObject* parent)
    : BaseFileReader(parent)
{
}

CommonFileReader::~CommonFileReader() = default;

QString CommonFileReader::ReadFile(QString path, QString* error)
{
    try {
        QFile file(path);
        if (!file.exists()) {
            *error = QStringLiteral("Файла не существует");
            return QString();
        }
        // A device or a pipe could feed text for ever, or block the open itself.
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            *error = QStringLiteral("Не удалось открыть файл");
            return QString();
        }
        // No encoding takes more than four bytes a character.
        if (file.size() / 4 > MaxTextLength) {
            *error = TextTooLong();
            return QString();
        }
        QTextStream stream(&file);
        const QString text = stream.read(MaxTextLength + 1);
        if (stream.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
            qWarning() << "Read file error:" << file.errorString();
            *error = QStringLiteral("Произошла ошибка при чтении из файла");
            return QString();
        }
        if (text.size() > MaxTextLength) {
            *error = TextTooLong();
            return QString();
        }
        return text;
    } catch (const std::exception& e) {
        qWarning() << "Read file error:" << e.what();
        *error = QStringLiteral("Произошла ошибка при чтении из файла");
        return QString();
    }
}
