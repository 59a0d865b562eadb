#pragma once

#include "JsonConvertable.h"
#include "UserCommandType.h"

#include <QString>

// One user voice command: a spoken phrase and the action's argument (the
// replacement text, key chord, program or document path, by type).
class UserCommand : public JsonConvertable
{
public:
    explicit UserCommand(UserCommandType type = UserCommandNamespace::Undefined);
    // An unknown "Type" raises ConveterException; IsSystem is left to the loader.
    explicit UserCommand(const QJsonObject& object);
    UserCommand(const UserCommand&) = default;
    UserCommand& operator=(const UserCommand&) = default;
    ~UserCommand() override;

    // IsSystem is never written.
    QJsonObject toJson() const override;

    QString get_NormalizedPattern() const { return NormalizePattern(Pattern); }

    static QString NormalizePattern(const QString& pattern);
    // Only Latin and Russian letters, digits and blanks can be spoken.
    static bool ValidatePatternSymbols(const QString& text);

    UserCommandType Type;
    QString Pattern;
    QString Text;
    QString Id;
    bool IsSystem = false;
    bool IsPunctuation = false;
};
