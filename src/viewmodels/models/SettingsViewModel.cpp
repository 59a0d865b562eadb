#include "SettingsViewModel.h"

#include <QDebug>

#include <exception>

namespace {
// Runs one step; an exception is logged under the method's name and reported as false.
template<typename Step>
bool guarded(const char* method, Step step)
{
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in SettingsViewModel::%1: %2")
                                    .arg(QLatin1String(method), QString::fromUtf8(e.what()));
    } catch (...) {
        qWarning().noquote() << QStringLiteral("Error in SettingsViewModel::%1: unknown exception")
                                    .arg(QLatin1String(method));
    }
    return false;
}

SettingsViewModel* asSettings(QObject* object)
{
    return qobject_cast<SettingsViewModel*>(object);
}
} // namespace

SettingsViewModel::SettingsViewModel(QObject* parent)
    : QObject(parent)
{
}

SettingsViewModel::~SettingsViewModel() = default;

// QML cannot carry an exception through its call: the program would end.
void SettingsViewModel::onLoad()
{
    guarded("onLoad", [this] { Load(); });
}

void SettingsViewModel::onClose()
{
    guarded("onClose", [this] { Unload(); });
}

bool SettingsViewModel::applyCommand()
{
    bool valid = false;
    const bool ok = guarded("applyCommand", [this, &valid] {
        valid = Validate();
        if (valid)
            Apply();
    });
    return ok && valid;
}

void SettingsViewModel::cancelCommand()
{
    guarded("cancelCommand", [this] { Cancel(); });
}

bool SettingsViewModel::Validate()
{
    bool valid = true;
    const bool ok = guarded("Validate", [this, &valid] {
        for (QObject* inner : qAsConst(innerSettings)) {
            if (SettingsViewModel* settings = asSettings(inner); settings && !settings->Validate()) {
                valid = false;
                return;
            }
        }
    });
    return ok && valid;
}

void SettingsViewModel::Load()
{
    for (QObject* inner : qAsConst(innerSettings)) {
        if (SettingsViewModel* settings = asSettings(inner))
            guarded("Load", [settings] { settings->Load(); });
    }
}

void SettingsViewModel::Unload()
{
    for (QObject* inner : qAsConst(innerSettings)) {
        if (SettingsViewModel* settings = asSettings(inner))
            guarded("Unload", [settings] { settings->Unload(); });
    }
}

void SettingsViewModel::Apply()
{
    for (QObject* inner : qAsConst(innerSettings)) {
        if (SettingsViewModel* settings = asSettings(inner))
            settings->Apply();
    }
}

void SettingsViewModel::Cancel()
{
    for (QObject* inner : qAsConst(innerSettings)) {
        if (SettingsViewModel* settings = asSettings(inner))
            settings->Cancel();
    }
}

bool SettingsViewModel::IsChanged()
{
    for (QObject* inner : qAsConst(innerSettings)) {
        if (SettingsViewModel* settings = asSettings(inner); settings && settings->IsChanged())
            return true;
    }
    return false;
}
