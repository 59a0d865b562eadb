#pragma once

#include "BaseFileReader.h"

// Reads any file as text in the locale's encoding; a byte-order mark wins.
class CommonFileReader : public BaseFileReader
{
    Q_OBJECT

public:
    explicit CommonFileReader(QObject* parent = nullptr);
    ~CommonFileReader() override;

    QString ReadFile(QString path, QString* error) override;
};
