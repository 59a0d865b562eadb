#pragma once

// An empty message value; no message carries it.
class DataMessage
{
public:
    DataMessage();
};
