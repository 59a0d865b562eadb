#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <memory>

class AppSettingsViewModel;
class CommandsViewModel;
class LoopbackConnection;
class PulseAudioManager;
class QMenu;
class QQmlEngine;
class QQuickWindow;
class SelfTestViewModel;
class SettingsContainerViewModel;
class SystemTray;
class ValidatableText;
class WindowsManager;

// Everything a QML view of the client can reach, built as the composition root
// builds it: the real view models and settings pages over a recognition link to
// loopback fakes and the private sound server. Publishes them on an engine
// under the context property names the program uses. GUI thread only.
class QmlViewModels : public QObject
{
    Q_OBJECT

public:
    QmlViewModels();
    ~QmlViewModels() override;

    // Connects to a fake recognition server and waits for the ready state, so
    // that the pages that need the server are shown too.
    bool connectToServer();

    // Types, the style module's import path and the context properties.
    void publish(QQmlEngine* engine) const;

    // An instance of a QML file of the resources (":/Views/X.qml"). A root that
    // declares "viewModel" gets the settings page named after the file
    // (NetworkSettingsView: the page "NetworkSettingsViewModel") or the object
    // that viewModelNames() names for it. Null with *error set on failure.
    QObject* create(QQmlEngine* engine, const QString& path, QString* error);
    // The window of a created root; an item gets a host window of its own.
    static QQuickWindow* windowOf(QObject* root, std::unique_ptr<QQuickWindow>* host);

    // The settings page whose ClassName is the given one, or null.
    AppSettingsViewModel* page(const QString& className) const;
    SettingsContainerViewModel* settings() const { return container.get(); }
    QMenu* trayMenu() const;

private:
    std::unique_ptr<LoopbackConnection> link;
    std::unique_ptr<PulseAudioManager> audio;
    std::unique_ptr<WindowsManager> windowsManager;
    std::unique_ptr<SystemTray> tray;
    QList<QObject*> owned;
    QList<AppSettingsViewModel*> pages;
    std::unique_ptr<SettingsContainerViewModel> container;
    QList<QPair<QString, QObject*>> published;
    std::unique_ptr<ValidatableText> field;
    std::unique_ptr<CommandsViewModel> sampleEditor;
    SelfTestViewModel* selfTest = nullptr;
};
