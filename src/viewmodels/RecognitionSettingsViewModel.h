#pragma once

#include "AppSettingsViewModel.h"

class AsrManager;

// The "Распознавание" page: recognition parameters and the theme choice.
class RecognitionSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT

public:
    explicit RecognitionSettingsViewModel(QObject* parent = nullptr);
    ~RecognitionSettingsViewModel() override;

    // Handed over once the recognition worker exists; not owned.
    void set_AsrManager(AsrManager* manager) { asrManager = manager; }
    AsrManager* get_AsrManager() const { return asrManager; }

signals:
    void recognitionSettingsChanged();
    void selectedThemeChanged();
    void canEditKivaroChanged(bool canEdit);

private:
    AsrManager* asrManager = nullptr;
};
