import QtQuick 2.15
import QtQuick.Controls 2.15

// A check box whose text wraps instead of being cut off.
CheckBox {
    id: box

    contentItem: Label {
        text: box.text
        font: box.font
        leftPadding: box.indicator.width + box.spacing
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.WordWrap
    }
}
