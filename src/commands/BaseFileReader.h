#pragma once

#include <QObject>
#include <QString>

// Turns a document into plain text for file commands and their preview.
class BaseFileReader : public QObject
{
    Q_OBJECT

public:
    explicit BaseFileReader(QObject* parent = nullptr);
    ~BaseFileReader() override;

    // The text, or an empty text with a user message in *error on failure.
    virtual QString ReadFile(QString path, QString* error) = 0;

    // Longest text a reader hands back: a file command types what it reads.
    static constexpr int MaxTextLength = 1024 * 1024;
    static QString TextTooLong();
};
