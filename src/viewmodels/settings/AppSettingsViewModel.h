#pragma once

#include "SettingsViewModel.h"

#include <QString>

// One top-level page (tab) of the settings window.
class AppSettingsViewModel : public SettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(QString HeaderText READ get_HeaderText CONSTANT)
    Q_PROPERTY(QString ClassName READ get_ClassName CONSTANT)

public:
    AppSettingsViewModel(const QString& headerText, bool needServerConnection, QObject* parent = nullptr);
    ~AppSettingsViewModel() override;

    QString get_HeaderText() const { return headerText; }
    QString get_ClassName() const;

public slots:
    virtual bool needServerConnection() { return serverConnection; }

signals:
    void changed_HeaderText();

private:
    const QString headerText;
    const bool serverConnection;
};
