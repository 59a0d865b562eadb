import QtQuick 2.15
import QtQuick.Window 2.15

// The main view: hidden, it starts the background services once loaded and
// answers the tray and the connection driver.
Window {
    id: mainWindow
    visible: false
    title: "Scrivora"

    function chooseTheme(atStartUp) {
        var window = monitorViewModel.AlternateThemeView ? alternateThemeWindow : themeWindow
        window.choose(atStartUp)
    }

    Component.onCompleted: windowsManager.startSubServices()

    Connections {
        target: windowsManager
        function onThemeCheckRequested() { mainWindow.chooseTheme(true) }
    }

    Connections {
        target: systemTray
        function onSignalQuit() { windowsManager.closeApplication() }
        function onSignalConnectRequest() { windowsManager.restartConnection() }
        function onSignalShowSettings() { settingsWindow.showSettings() }
    }

    StartThemeSelectionWindow {
        id: themeWindow
    }

    AlternateStartThemeSelectionWindow {
        id: alternateThemeWindow
    }

    MonitorWindow {
        onThemeChoiceRequested: mainWindow.chooseTheme(false)
    }

    SettingsWindow {
        id: settingsWindow
    }
}
