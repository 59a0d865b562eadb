#pragma once

// Base of the tables that give each document element its reader.
class ElementReaderFactory
{
public:
    virtual ~ElementReaderFactory() = default;
};
