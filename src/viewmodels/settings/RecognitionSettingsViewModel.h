#pragma once

#include "AppSettingsViewModel.h"

class AsrManager;
class ThemeChooseViewModel;

// The "Распознавание" page: the recognition options of the "ASR" group and,
// through its one inner entry, the theme choice. Also published on its own
// for the start-up theme windows and the monitor. GUI thread only.
class RecognitionSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(QObject* ThemeChooseViewModel READ get_ThemeChooseViewModel CONSTANT)
    Q_PROPERTY(bool SendingMode READ get_SendingMode WRITE set_SendingMode NOTIFY changed_SendingMode)
    Q_PROPERTY(bool CapitalLetterAfterStart READ get_CapitalLetterAfterStart WRITE set_CapitalLetterAfterStart NOTIFY
                   changed_CapitalLetterAfterStart)
    Q_PROPERTY(bool UsePunctuation READ get_UsePunctuation WRITE set_UsePunctuation NOTIFY changed_UsePunctuation)
    Q_PROPERTY(bool PunctuationEnabled READ get_PunctuationEnabled NOTIFY changed_PunctuationEnabled)
    Q_PROPERTY(bool CanEditKivaroWords READ get_CanEditKivaroWords WRITE set_CanEditKivaroWords NOTIFY
                   changed_CanEditKivaroWords)
    Q_PROPERTY(bool CanEnableKivaro READ get_CanEnableKivaro WRITE set_CanEnableKivaro NOTIFY changed_CanEnableKivaro)
    Q_PROPERTY(int LogoHeight READ get_LogoHeight WRITE set_LogoHeight NOTIFY changed_LogoHeight)
    Q_PROPERTY(bool ThemeSelectEnabled READ get_ThemeSelectEnabled WRITE set_ThemeSelectEnabled NOTIFY
                   changed_ThemeSelectEnabled)
    Q_PROPERTY(bool IsThemeAutoSelect READ get_IsThemeAutoSelect WRITE set_IsThemeAutoSelect NOTIFY
                   changed_IsThemeAutoSelect)

public:
    explicit RecognitionSettingsViewModel(QObject* parent = nullptr);
    ~RecognitionSettingsViewModel() override;

    // Handed over once the recognition worker exists, for the theme chooser; not owned.
    void set_AsrManager(AsrManager* manager);

    QObject* get_ThemeChooseViewModel() const;
    ThemeChooseViewModel* themeChooser() const { return chooser; }
    bool get_SendingMode() const { return sendingMode; }
    bool get_CapitalLetterAfterStart() const { return capitalLetterAfterStart; }
    bool get_UsePunctuation() const { return usePunctuation; }
    bool get_PunctuationEnabled() const { return punctuationEnabled; }
    bool get_CanEditKivaroWords() const { return canEditKivaroWords; }
    bool get_CanEnableKivaro() const { return canEnableKivaro; }
    int get_LogoHeight() const { return logoHeight; }
    bool get_ThemeSelectEnabled() const { return themeSelectEnabled; }
    bool get_IsThemeAutoSelect() const { return isThemeAutoSelect; }

public slots:
    void set_SendingMode(bool value);
    void set_CapitalLetterAfterStart(bool value);
    void set_UsePunctuation(bool value);
    void set_CanEditKivaroWords(bool value);
    void set_CanEnableKivaro(bool value);
    void set_LogoHeight(int value);
    void set_ThemeSelectEnabled(bool value);
    void set_IsThemeAutoSelect(bool value);

    // Without a theme list (none on the server, or it could not be fetched)
    // there is nothing to choose: the page then neither blocks saving the other
    // pages nor forgets the stored theme.
    bool Validate() override;
    void Load() override;
    void Apply() override;

signals:
    void changed_SendingMode(bool value);
    void changed_CapitalLetterAfterStart(bool value);
    void changed_UsePunctuation(bool value);
    void changed_PunctuationEnabled(bool value);
    void changed_CanEditKivaroWords(bool value);
    void changed_CanEnableKivaro(bool value);
    void changed_LogoHeight(int value);
    void changed_ThemeSelectEnabled(bool value);
    void changed_IsThemeAutoSelect(bool value);
    void selectedThemeChanged();
    void recognitionSettingsChanged();
    void canEditKivaroChanged(bool value);

private:
    bool hasThemes() const;
    void showWhyNoThemes();
    QString chosenThemeId() const;

    ThemeChooseViewModel* chooser;
    // The stored theme and the page's choice at loading: a theme stored
    // elsewhere meanwhile (the monitor) is kept unless the choice here changed.
    QString storedThemeAtLoad;
    QString chosenThemeAtLoad;
    bool sendingMode = false;
    bool capitalLetterAfterStart = true;
    bool usePunctuation = false;
    bool punctuationEnabled = false;
    bool canEditKivaroWords = false;
    bool canEnableKivaro = false;
    int logoHeight = 40;
    bool themeSelectEnabled = false;
    bool isThemeAutoSelect = false;
};
