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

    Component.onCompleted: {
        windowsManager.startSubServices()
        // Offered until the profile is complete; the client works meanwhile.
        if (statisticsViewModel.NeedShow)
            statisticsWindow.open(false)
    }

    Connections {
        target: windowsManager
        function onThemeCheckRequested() { mainWindow.chooseTheme(true) }
    }

    Connections {
        target: systemTray
        function onSignalQuit() { windowsManager.closeApplication() }
        function onSignalConnectRequest() { windowsManager.restartConnection() }
        function onSignalShowSettings() { settingsWindow.showSettings() }
        function onSignalShowReplaces() { replacesWindow.showWindow() }
        function onSignalShowKivaro() { kivaroWindow.showWindow() }
        function onSignalShowFeedback() { feedbackWindow.open(true) }
        function onSignalSelfTest() { selfTestWindow.open(true) }
        function onSignalShowManual(localHelpFile) { Qt.openUrlExternally("file://" + localHelpFile) }
    }

    // Built when first asked for: the self-test's model exists only while it is enabled.
    component WindowLoader: Loader {
        // At start-up a window must not take the keyboard from where the user types.
        property bool activate: true
        active: false
        function open(activating) {
            activate = activating !== false
            if (active)
                item.showWindow(activate)
            else
                active = true
        }
        onLoaded: item.showWindow(activate)
    }

    WindowLoader {
        id: statisticsWindow
        source: "qrc:/StatisticsWindow.qml"
    }

    WindowLoader {
        id: feedbackWindow
        source: "qrc:/Views/FeedbackWindow.qml"
    }

    WindowLoader {
        id: selfTestWindow
        source: "qrc:/Views/SelfTest/SelfTestWindow.qml"
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

    ReplacesWindow {
        id: replacesWindow
    }

    KivaroWindow {
        id: kivaroWindow
    }
}
