#pragma once

#include "AppSettingsViewModel.h"
#include "TtsStateInfo.h"

#include <QString>
#include <QStringList>
#include <QTimer>

class TtsManager;

// The "Синтез" page: the speech-synthesis voice and speed offered by the server.
class SynthesisSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(QString ErrorMessage READ get_ErrorMessage WRITE set_ErrorMessage NOTIFY changed_ErrorMessage)
    Q_PROPERTY(QStringList Voices READ get_Voices WRITE set_Voices NOTIFY changed_Voices)
    Q_PROPERTY(int SelectedVoiceIndex READ get_SelectedVoiceIndex WRITE set_SelectedVoiceIndex NOTIFY
                   changed_SelectedVoiceIndex)
    Q_PROPERTY(bool IsTtsEnabled READ get_IsTtsEnabled NOTIFY changed_IsTtsEnabled)
    // From opening the page until the server's voice list came or its time ran out.
    Q_PROPERTY(bool VoicesLoading READ get_VoicesLoading NOTIFY changed_VoicesLoading)
    Q_PROPERTY(double TTSSpeed READ get_TTSSpeed WRITE set_TTSSpeed NOTIFY changed_TTSSpeed)

public:
    explicit SynthesisSettingsViewModel(QObject* parent = nullptr);
    ~SynthesisSettingsViewModel() override;

    // Handed over when the composition root creates the manager; not owned.
    void set_TtsManager(TtsManager* manager) { ttsManager = manager; }

    QString get_ErrorMessage() const { return errorMessage; }
    QStringList get_Voices() const { return voices; }
    int get_SelectedVoiceIndex() const { return selectedVoiceIndex; }
    bool get_IsTtsEnabled() const { return isTtsEnabled; }
    bool get_VoicesLoading() const { return voicesLoading; }
    // How long the server may take to send the voice list (7 s, as a REST call); settable for tests.
    void setVoiceRequestTimeout(int msecs) { voiceTimer.setInterval(msecs); }
    double get_TTSSpeed() const { return ttsSpeed; }

public slots:
    void set_ErrorMessage(QString message);
    void set_Voices(QStringList list);
    void set_SelectedVoiceIndex(int index);
    void set_TTSSpeed(double speed);
    void Load() override;
    void Apply() override;
    void OnTtsStateChanged(TtsStateInfo ttsState);

signals:
    void changed_ErrorMessage(QString message);
    void changed_Voices(QStringList voices);
    void changed_SelectedVoiceIndex(int index);
    void changed_IsTtsEnabled(bool enabled);
    void changed_VoicesLoading(bool loading);
    void changed_TTSSpeed(double speed);
    void ttsSettingsChanged();

private:
    void set_VoicesLoading(bool loading);
    void onVoiceRequestTimeout();

    QString errorMessage;
    QStringList voices;
    int selectedVoiceIndex = -1;
    bool isTtsEnabled = true;
    double ttsSpeed = 1.0;
    TtsManager* ttsManager = nullptr;
    bool storedEnabled = true;
    bool voicesLoading = false;
    QTimer voiceTimer;
};
