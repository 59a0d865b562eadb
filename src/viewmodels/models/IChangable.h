#pragma once

#include <QtPlugin>

// Anything a settings window can load, unload, apply, cancel and ask about changes.
class IChangable
{
public:
    virtual void Load() = 0;
    virtual void Unload() = 0;
    virtual void Apply() = 0;
    virtual void Cancel() = 0;
    virtual bool IsChanged() = 0;
    virtual ~IChangable() = default;
};

Q_DECLARE_INTERFACE(IChangable, "IChangable")
