#pragma once

#include "BaseFileReader.h"
#include "CancellationCondition.h"

// Picks the reader by suffix: "odt" (exactly, lower case) is an OpenDocument
// text, anything else plain text.
class CompositeFileReader : public BaseFileReader
{
    Q_OBJECT

public:
    explicit CompositeFileReader(QObject* parent = nullptr);
    ~CompositeFileReader() override;

    QString ReadFile(QString path, QString* error) override;
    // Handed to each office-document read, which it ends early.
    void setCancellation(CancellationConditionPtr condition) { cancellation = std::move(condition); }

private:
    CancellationConditionPtr cancellation;
};
