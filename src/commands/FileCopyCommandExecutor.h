#pragma once

#include "CompositeFileReader.h"
#include "UserCommandExecutor.h"

// Hands back the text of the command's document, each line end a single
// carriage return and a leading blank so it joins the text typed before it;
// a failure names the document and the reader's reason.
class FileCopyCommandExecutor : public UserCommandExecutor
{
    Q_OBJECT

public:
    explicit FileCopyCommandExecutor(QObject* parent = nullptr);
    ~FileCopyCommandExecutor() override;

    CommandResult Execute(UserCommand command) const override;

private:
    CompositeFileReader* reader;
};
