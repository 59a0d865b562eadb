#pragma once

#include <QString>

// What a validation callback gets: the proposed text, which it may rewrite
// (the rewritten text is what gets stored), and an error to set when it rejects it.
struct ValidationArgs
{
    QString Text;
    QString Error;
};
