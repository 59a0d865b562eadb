import QtQuick 2.15
import QtQuick.Controls 2.15

// The error text under a validatable field; takes no room while there is none.
Label {
    visible: text !== ""
    color: "#d32f2f"
    font.pixelSize: 12
    wrapMode: Text.WordWrap
}
