#pragma once

#include <QString>

// One stored audio file of the self-test.
struct SelfTestFile
{
    QString path;
    int tail = 2000;
    int results = 0;
};
