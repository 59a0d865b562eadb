#pragma once

#include "IChangable.h"

#include <QList>
#include <QObject>
#include <QVariant>

// A settings view model: loads its values when the window opens, applies or
// cancels them, and does the same for its inner settings in order.
class SettingsViewModel : public QObject, public IChangable
{
    Q_OBJECT
    Q_INTERFACES(IChangable)
    Q_PROPERTY(QVariant InnerSettings READ get_InnerSettings CONSTANT)

public:
    explicit SettingsViewModel(QObject* parent = nullptr);
    ~SettingsViewModel() override;

    QVariant get_InnerSettings() const { return QVariant::fromValue(innerSettings); }

    Q_INVOKABLE void onLoad();
    Q_INVOKABLE void onClose();
    Q_INVOKABLE bool applyCommand();
    Q_INVOKABLE void cancelCommand();

public slots:
    virtual bool Validate();
    void Load() override;
    void Unload() override;
    void Apply() override;
    void Cancel() override;
    bool IsChanged() override;

protected:
    QList<QObject*> innerSettings;
};
