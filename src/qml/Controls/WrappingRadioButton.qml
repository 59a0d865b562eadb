import QtQuick 2.15
import QtQuick.Controls 2.15

// A radio button whose text wraps instead of being cut off.
RadioButton {
    id: button

    contentItem: Label {
        text: button.text
        font: button.font
        leftPadding: button.indicator.width + button.spacing
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.WordWrap
    }
}
