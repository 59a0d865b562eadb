#pragma once

#include "AudioDeviceManagerBase.h"
#include "Exception.h"
#include "LogCategories.h"

#include <QAudio>
#include <QDebug>
#include <QMetaMethod>
#include <QPointer>

#include <exception>

// The start/stop cycle shared by capture (T = QAudioInput) and playback (T = QAudioOutput).
// Device objects are deleted only with deleteLater: Qt may still deliver queued
// state changes from them.
template<typename T>
class AudioDeviceManager : public AudioDeviceManagerBase
{
public:
    using AudioDeviceManagerBase::AudioDeviceManagerBase;

    ~AudioDeviceManager() override
    {
        if (device) {
            device->disconnect(this);
            device->stop();
            device->deleteLater();
        }
    }

    void StopDevice() override
    {
        CancelRestart();
        if (!device)
            return;
        try {
            device->stop();
            OnDeviceStop();
            device->deleteLater();
            device = nullptr;
        } catch (const std::exception& e) {
            qCDebug(lcAudioManager) << e.what();
        }
    }

    void StartDevice() override
    {
        CancelRestart();
        const ExtAudioDeviceInfo info = CurrentDevice();
        if (info.isNull())
            return;
        try {
            device = CreateDevice(info);
            if (!device) {
                if (!Retrying())
                    qCWarning(lcAudioManager).noquote() << "Cannot create audio device " + info.deviceName();
                DeviceFailed(QAudio::OpenError);
                return;
            }
            OnDeviceStart();
        } catch (const std::exception& e) {
            if (!Retrying())
                qCDebug(lcAudioManager) << e.what();
            const QAudio::Error error = device && device->error() != QAudio::NoError ? device->error()
                                                                                      : QAudio::OpenError;
            StopDevice();
            DeviceFailed(error);
        }
    }

protected:
    // Hooks the device's state changes; the guard drops a change that arrives after
    // the device object is gone.
    void OnDeviceStart() override
    {
        QPointer<T> source(device);
        QObject::connect(device, &T::stateChanged, this,
            [this, source](QAudio::State state) {
                if (source)
                    OnDeviceStateChanged(source.data(), state);
            },
            Qt::QueuedConnection);
    }

    void OnDeviceStop() override { emit DeviceStopped(); }

    bool HasDevice() const override { return device != nullptr; }

    virtual T* CreateDevice(const ExtAudioDeviceInfo& info) = 0;

    // Drops a device that stopped by itself; when it stopped with an error the
    // failure is reported and the device is tried again later.
    void ReleaseStoppedDevice(QAudio::Error error)
    {
        if (error != QAudio::NoError)
            qCDebug(lcAudioManager) << "device error:" << error;
        OnDeviceStop();
        device->deleteLater();
        device = nullptr;
        if (error != QAudio::NoError)
            DeviceFailed(error);
    }

    // Sets the device volume to percent / 100 and keeps stored in step, announcing a change.
    template<typename Manager>
    void ApplyVolume(int& stored, int percent, void (Manager::*changed)(int))
    {
        if (device)
            device->setVolume(percent / 100.0);
        UpdateValue(stored, percent, changed);
    }

    // Follows volume changes that reach the device from elsewhere.
    template<typename Manager>
    void ReadVolume(int& stored, void (Manager::*changed)(int))
    {
        if (device)
            UpdateValue(stored, static_cast<int>(device->volume() * 100 + 0.5), changed);
    }

    // Runs an int slot of this object in the manager's thread: at once when the caller
    // is there, queued otherwise. Callers keep the looked-up slot in a static.
    void InvokeIntSlot(const QMetaMethod& method, int value) { method.invoke(this, Qt::AutoConnection, Q_ARG(int, value)); }
    static QMetaMethod FindSlot(const QMetaObject& meta, const char* signature)
    {
        return meta.method(meta.indexOfMethod(QMetaObject::normalizedSignature(signature).constData()));
    }

    // For a device whose start() gave no stream; StartDevice catches it.
    [[noreturn]] void ThrowStartFailure() const
    {
        QString error;
        QDebug(&error).noquote().nospace() << device->error();
        throw Exception(QStringLiteral("Device error: %1 on %2").arg(error, device->objectName()));
    }

    T* device = nullptr;
};
