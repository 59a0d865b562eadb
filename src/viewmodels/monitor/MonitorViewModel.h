#pragma once

#include "AsrState.h"
#include "RecognitionMode.h"

#include <QObject>
#include <QRect>
#include <QString>

class AsrManager;
class ConnectionManager;
class QWindow;
class RecordingDeviceManager;
class ResultManager;
class ThemeChooseViewModel;

// The recognition monitor window's model: whether dictation runs or changes
// state, the interim text and where the window receiving the text lies, the
// microphone level and gain, the selected theme. Lives in the GUI thread;
// every signal of the managers reaches it there, queued when sent from
// another thread, so QML-bound properties change only in the GUI thread.
class MonitorViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Visible READ get_Visible WRITE set_Visible NOTIFY changed_Visible)
    Q_PROPERTY(int SoundLevel READ get_SoundLevel WRITE set_SoundLevel NOTIFY changed_SoundLevel)
    Q_PROPERTY(bool Loading READ get_Loading WRITE set_Loading NOTIFY changed_Loading)
    Q_PROPERTY(int Gain READ gain WRITE setGain NOTIFY changedGain)
    Q_PROPERTY(bool GainVisible READ get_GainVisible WRITE set_GainVisible NOTIFY changed_GainVisible)
    Q_PROPERTY(bool ThemeVisible READ get_ThemeVisible WRITE set_ThemeVisible NOTIFY changed_ThemeVisible)
    Q_PROPERTY(QString ThemeName READ get_ThemeName WRITE set_ThemeName NOTIFY changed_ThemeName)
    Q_PROPERTY(QString ResultText READ get_ResultText WRITE set_ResultText NOTIFY changed_ResultText)
    Q_PROPERTY(QWindow* ActiveWindow READ get_ActiveWindow)
    Q_PROPERTY(bool TooltipOnInputWindow READ get_TooltipOnInputWindow NOTIFY changed_TooltipOnInputWindow)
    Q_PROPERTY(QRect InputWindowRect READ get_InputWindowRect NOTIFY changed_InputWindowRect)
    Q_PROPERTY(QString DescColor READ get_DescColor WRITE set_DescColor NOTIFY changed_DescColor)
    Q_PROPERTY(int LogoHeight READ get_LogoHeight WRITE set_LogoHeight NOTIFY changed_LogoHeight)
    Q_PROPERTY(bool AlternateThemeView READ get_AlternateThemeView WRITE set_AlternateThemeView NOTIFY
                   changed_AlternateThemeView)
    // The theme pane's own choice: an open settings window keeps its edits.
    Q_PROPERTY(QObject* ThemeChooseViewModel READ get_ThemeChooseViewModel CONSTANT)
    // Results are neither typed nor shown (the self-test window is open).
    Q_PROPERTY(bool ResultsIgnored READ get_ResultsIgnored NOTIFY changed_ResultsIgnored)

public:
    MonitorViewModel(AsrManager* asrManager, ResultManager* resultManager, RecordingDeviceManager* recordingManager,
                     ConnectionManager* connectionManager, QObject* parent = nullptr);
    ~MonitorViewModel() override;

    bool get_Visible() const { return visible; }
    int get_SoundLevel() const { return soundLevel; }
    bool get_Loading() const { return loading; }
    int gain() const { return gainValue; }
    // The user's choice in the monitor: applied to the microphone and stored as its gain.
    void setGain(int gain);
    bool get_GainVisible() const { return gainVisible; }
    bool get_ThemeVisible() const { return themeVisible; }
    QString get_ThemeName() const { return themeName; }
    QString get_ResultText() const { return resultText; }
    QWindow* get_ActiveWindow() const;
    bool get_TooltipOnInputWindow() const { return tooltipOnInputWindow; }
    QRect get_InputWindowRect() const { return inputWindowRect; }
    QString get_DescColor() const { return descColor; }
    int get_LogoHeight() const { return logoHeight; }
    bool get_AlternateThemeView() const { return alternateThemeView; }
    QObject* get_ThemeChooseViewModel() const;
    bool get_ResultsIgnored() const { return resultsIgnored; }

    Q_INVOKABLE void closeCommand();
    // The theme pane opens: the server's list with the theme in use chosen.
    Q_INVOKABLE void loadThemeChoice();
    // Stores and applies the chosen theme, and nothing else of the "ASR" group;
    // false when nothing valid is chosen.
    Q_INVOKABLE bool applyThemeChoice();

public slots:
    void set_Visible(bool value);
    void set_SoundLevel(int value);
    void set_Loading(bool value);
    void set_GainVisible(bool value);
    void set_ThemeVisible(bool value);
    void set_ThemeName(QString value);
    void set_ResultText(QString value);
    void set_DescColor(QString value);
    void set_LogoHeight(int value);
    void set_AlternateThemeView(bool value);

protected slots:
    void RecordingLevelChanged(int level);
    void asrStateChanged(RecognitionMode mode, AsrState state);
    // The microphone's gain changed (this monitor, the audio page, the sound
    // server): shown only; persisting it is for whoever made the change.
    void GainChanged(int gain);

private slots:
    void refreshThemeName();
    void resultReady(QString text, bool isFinal);
    void resultProcessingChanged(bool processed);

signals:
    void changed_Visible(bool value);
    void changed_SoundLevel(int value);
    void changed_Loading(bool value);
    void changedGain(int gain);
    void changed_GainVisible(bool value);
    void changed_ThemeVisible(bool value);
    void changed_ThemeName(QString value);
    void changed_ResultText(QString value);
    void changed_TooltipOnInputWindow(bool value);
    void changed_InputWindowRect(QRect rect);
    void changed_DescColor(QString value);
    void changed_LogoHeight(int value);
    void changed_AlternateThemeView(bool value);
    void changed_ResultsIgnored(bool value);

private:
    bool visible = false;
    int soundLevel = 0;
    bool loading = false;
    bool gainVisible = false;
    bool themeVisible = false;
    QString themeName;
    QString resultText;
    bool tooltipOnInputWindow = false;
    QRect inputWindowRect;
    QString descColor;
    int logoHeight = 0;
    bool alternateThemeView = false;
    bool resultsIgnored = false;
    AsrManager* asrManager;
    ResultManager* resultManager;
    RecordingDeviceManager* recordingManager;
    ConnectionManager* connectionManager;
    int gainValue = 0;
    ThemeChooseViewModel* themeChoice;
};
