#pragma once

#include "CompositeFileReader.h"
#include "UserCommandExecutor.h"

// Hands back the text of the command's document, each line end a single
// carriage return and a leading blank so it joins the text typed before it;
// a failure names the document and the reader's reason. Execute touches no
// state of the object and may run in any thread.
class FileCopyCommandExecutor : public UserCommandExecutor
{
    Q_OBJECT

public:
    explicit FileCopyCommandExecutor(QObject* parent = nullptr);
    ~FileCopyCommandExecutor() override;

    CommandResult Execute(UserCommand command) const override;
    bool MayBlock() const override { return true; }
    // Ends a read of an office document early; see CompositeFileReader.
    void setCancellation(CancellationConditionPtr condition);

private:
    CompositeFileReader* reader;
};
