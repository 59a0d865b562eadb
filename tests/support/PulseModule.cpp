#include "PulseModule.h"

#include "PulseTestServer.h"

PulseModule::PulseModule(const QString& name, const QStringList& arguments)
{
    const QString out = PulseTestServer::pactl(QStringList{QStringLiteral("load-module"), name} + arguments);
    bool ok = false;
    const int loaded = out.trimmed().toInt(&ok);
    if (ok)
        index = loaded;
}

PulseModule::~PulseModule()
{
    if (index >= 0)
        PulseTestServer::pactl({QStringLiteral("unload-module"), QString::number(index)});
}
