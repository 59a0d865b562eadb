import QtQuick 2.15
import QtQuick.Controls 2.15

// The error text under a validatable field; takes no room while there is none.
Label {
    visible: text !== ""
    color: "#C62828"
    font.pointSize: 8.5
    wrapMode: Text.WordWrap
}
