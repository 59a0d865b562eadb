import QtQuick 2.15
import QtQuick.Window 2.15

// The main view: hidden, it starts the background services once loaded and
// answers the tray and the connection driver.
Window {
    id: mainWindow
    visible: false
    title: "Scrivora"

    Component.onCompleted: windowsManager.startSubServices()

    Connections {
        target: windowsManager
        function onThemeCheckRequested() { themeCheck.show() }
    }

    Connections {
        target: systemTray
        function onSignalQuit() { windowsManager.closeApplication() }
        function onSignalConnectRequest() { windowsManager.restartConnection() }
        function onSignalShowSettings() { settingsWindow.showSettings() }
    }

    ThemeCheckWindow {
        id: themeCheck
    }

    SettingsWindow {
        id: settingsWindow
    }
}
