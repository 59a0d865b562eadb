#pragma once

#include <QString>
#include <QStringList>

// One module loaded into the test sound server for the lifetime of the object.
class PulseModule
{
public:
    PulseModule(const QString& name, const QStringList& arguments);
    ~PulseModule();
    PulseModule(const PulseModule&) = delete;
    PulseModule& operator=(const PulseModule&) = delete;

    bool isLoaded() const { return index >= 0; }

private:
    int index = -1;
};
