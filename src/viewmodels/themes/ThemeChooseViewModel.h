#pragma once

#include "CollectionModel.h"
#include "SettingsViewModel.h"
#include "ThemeInfoViewModel.h"
#include "ValidationArgs.h"

class AsrManager;
class ValidatableInt32;

// The choice of one recognition theme from the server's list: orders and
// filters the list, keeps the chosen position as a validated field and exposes
// the chosen entry. Writes no settings; its owner reads get_SelectedTheme when
// it applies. GUI thread only.
class ThemeChooseViewModel : public SettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(QObject* ThemeChoices READ get_ThemeChoices NOTIFY changed_ThemeChoices)
    Q_PROPERTY(QObject* SelectedValidatedThemeIndex READ get_SelectedValidatedThemeIndex NOTIFY
                   changed_SelectedValidatedThemeIndex)
    Q_PROPERTY(QObject* SelectedTheme READ selectedThemeOrNull NOTIFY changed_SelectedTheme)
    Q_PROPERTY(bool NeedShow READ get_NeedShow)

public:
    explicit ThemeChooseViewModel(QObject* parent = nullptr);
    ~ThemeChooseViewModel() override;

    // Not owned; without it the list stays empty.
    void set_AsrManager(AsrManager* manager);

    QObject* get_ThemeChoices() const { return themeChoices; }
    QObject* get_SelectedValidatedThemeIndex() const;
    CollectionModel<ThemeInfoViewModel>* choices() const { return themeChoices; }
    ValidatableInt32* selectedIndexField() const { return selectedIndex; }
    bool get_NeedShow() const { return needShow; }

    // Null when nothing valid is chosen; throws ConveterException when the
    // index text is not a number.
    ThemeInfoViewModel* get_SelectedTheme() const;

    void ValidateThemeIndex(ValidationArgs* args, int index);

public slots:
    bool Validate() override;
    // Lists the themes known now, never waiting for the server: when none is
    // known a fetch starts, and until Unload each fetch that ends refills the
    // list (choicesRefilled).
    void Load() override;
    void Unload() override;

signals:
    // previousId: the Id of the entry chosen before the refill, empty when none.
    void choicesRefilled(const QString& previousId);
    void changed_ThemeChoices(CollectionModel<ThemeInfoViewModel>* choices);
    void changed_SelectedValidatedThemeIndex(ValidatableInt32* index);
    void changed_SelectedTheme();

private:
    // The property's reader: QML cannot take an exception.
    QObject* selectedThemeOrNull() const;
    void fill(bool fetchWhenEmpty);
    void onThemesFetched(bool ok);

    CollectionModel<ThemeInfoViewModel>* themeChoices;
    ValidatableInt32* selectedIndex;
    AsrManager* asrManager = nullptr;
    bool needShow = true;
    bool loaded = false;
};
