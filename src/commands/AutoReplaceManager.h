#pragma once

#include <QObject>

// The user's auto-replace rules for recognised text. Only its identity is
// needed by the server link so far; the rules come with result formatting.
class AutoReplaceManager : public QObject
{
    Q_OBJECT

public:
    explicit AutoReplaceManager(QObject* parent = nullptr);
    ~AutoReplaceManager() override;
};
