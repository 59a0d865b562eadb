import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// One theme of the alternate start-up list: its name in demi-bold over its description.
AbstractButton {
    id: button

    property string name
    property string description

    signal selectTheme()

    hoverEnabled: true
    padding: 10
    implicitWidth: Math.max(240, content.implicitWidth + leftPadding + rightPadding)
    implicitHeight: content.implicitHeight + topPadding + bottomPadding
    onClicked: selectTheme()

    background: Rectangle {
        color: button.hovered || button.visualFocus ? "#ECECEC" : "transparent"
        radius: 2
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: "#E0E0E0"
        }
    }

    contentItem: ColumnLayout {
        id: content
        spacing: 2
        Label {
            Layout.fillWidth: true
            text: button.name
            font.weight: Font.DemiBold
            elide: Text.ElideRight
        }
        Label {
            Layout.fillWidth: true
            visible: text !== ""
            text: button.description
            color: "#5f6368"
            wrapMode: Text.WordWrap
        }
    }
}
