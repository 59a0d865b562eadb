import QtQuick 2.15
import QLR 1.0

// A tool window of the client: out of the task bar and the pager, on every desktop; Esc closes it.
QFixedWindow {
    id: window

    Shortcut {
        sequence: "Esc"
        onActivated: window.close()
    }
}
