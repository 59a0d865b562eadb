#include "CommonFileReader.h"

#include <QFile>
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
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            *error = QStringLiteral("Не удалось открыть файл");
            return QString();
        }
        QTextStream stream(&file);
        const QString text = stream.readAll();
        if (stream.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
            qWarning() << "Read file error:" << file.errorString();
            *error = QStringLiteral("Произошла ошибка при чтении из файла");
            return QString();
        }
        return text;
    } catch (const std::exception& e) {
        qWarning() << "Read file error:" << e.what();
        *error = QStringLiteral("Произошла ошибка при чтении из файла");
        return QString();
    }
}
