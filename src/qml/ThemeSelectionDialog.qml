import QtQuick 2.15
import QtQuick.Window 2.15

// What both theme choice windows share: they edit the recognition page
// ("recognitionSettingsViewModel"), loaded at each opening. An answer to the
// connection's start-up check lets the connection go on either way: "Готово"
// with the choice stored, "Отмена" (or closing) with the theme stored before,
// the server's default when there is none.
Window {
    id: dialog

    // Set by whoever fills the window with its view.
    property Item view
    property bool answersStartUp: false
    property bool answered: true

    modality: Qt.ApplicationModal
    flags: Qt.Dialog
    width: view ? view.implicitWidth : 480
    height: view ? view.implicitHeight : 320
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    x: Screen.virtualX + (Screen.desktopAvailableWidth - width) / 2
    y: Screen.virtualY + (Screen.desktopAvailableHeight - height) / 3

    function choose(atStartUp) {
        answersStartUp = answersStartUp || atStartUp
        if (!visible) {
            answered = false
            recognitionSettingsViewModel.onLoad()
            show()
        }
        raise()
        requestActivate()
    }

    function accept() {
        if (!recognitionSettingsViewModel.applyCommand())
            return
        answered = true
        close()
    }

    // Closing the window any other way is a cancel too.
    function cancel() { close() }

    onClosing: {
        if (!answered)
            recognitionSettingsViewModel.cancelCommand()
        recognitionSettingsViewModel.onClose()
        var release = answersStartUp
        answered = true
        answersStartUp = false
        if (release)
            windowsManager.themeCheckSuccess()
    }

    Shortcut {
        sequence: "Esc"
        onActivated: dialog.cancel()
    }
}
