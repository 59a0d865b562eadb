#pragma once

#include "PatternEditModel.h"

// The phrase of a key, program or file command: it must be speakable (letters,
// digits and blanks only) besides the rules of an auto-replace phrase. GUI thread only.
class CommandEditModel : public PatternEditModel
{
    Q_OBJECT

public:
    CommandEditModel(UserCommandType type, CommandsCollectionViewModel* collection);
    CommandEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection);
    ~CommandEditModel() override;

protected:
    void ValidatePattern(ValidationArgs* args) override;
};
