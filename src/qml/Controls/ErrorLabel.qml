import QtQuick 2.15
import QtQuick.Controls 2.15

// The error text under a validatable field; takes no room while there is none,
// unless lines are reserved for it, so that a form does not move under the
// pointer when an error comes or goes.
Label {
    id: label

    property int reservedLines: 0

    visible: text !== "" || reservedLines > 0
    height: Math.max(implicitHeight, reservedLines > 0 ? reserved.implicitHeight : 0)
    color: "#d32f2f"
    font.pixelSize: 12
    wrapMode: Text.WordWrap

    // As high as that many lines of this text.
    Text {
        id: reserved
        visible: false
        font: label.font
        text: new Array(Math.max(1, label.reservedLines)).fill("X").join("\n")
    }
}
