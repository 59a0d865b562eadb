import QtQuick 2.15
import QLR 1.0

// A tool window of the client: out of the task bar and the pager, on every desktop; Esc closes it.
QFixedWindow {
    id: window

    // Gives the keys to the window's first field in Tab order, header and
    // footer aside; a window whose keys belong elsewhere declares its own.
    function focusFirstField() {
        var parts = contentItem.children
        for (var i = 0; i < parts.length; ++i) {
            if (parts[i] === header || parts[i] === footer)
                continue
            var first = parts[i].nextItemInFocusChain(true)
            // Past the part's end the chain goes on in the rest of the window.
            for (var inside = first; inside; inside = inside.parent) {
                if (inside === parts[i]) {
                    first.forceActiveFocus(Qt.TabFocusReason)
                    return
                }
            }
        }
    }

    function focusFirstFieldIfNone() {
        if (active && (!activeFocusItem || activeFocusItem === contentItem))
            window.focusFirstField()
    }

    // Active with no item of its own taking the keys (its first showing, a tray
    // menu closing over it, the focused item gone with a reload), typed keys
    // would be lost until a click. Looked at once the focus events are in: at
    // the change itself no item has the keys yet, even one that will.
    onActiveChanged: if (active) Qt.callLater(focusFirstFieldIfNone)

    Shortcut {
        sequence: "Esc"
        onActivated: window.close()
    }
}
