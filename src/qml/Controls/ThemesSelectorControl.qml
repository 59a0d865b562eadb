import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The theme combo box over a ThemeChooseViewModel: its index follows the
// chooser's validated index both ways; the chooser's error shows below and a
// failed check takes the focus. Without themes only the error is shown.
ColumnLayout {
    id: control

    property QtObject itemsSource
    readonly property QtObject field: itemsSource ? itemsSource.SelectedValidatedThemeIndex : null

    spacing: 2

    function themeAt(row) {
        if (!itemsSource || row < 0 || row >= combo.count)
            return null
        var model = itemsSource.ThemeChoices
        return model.data(model.index(row, 0), 256)
    }

    function takeFocus() { combo.forceActiveFocus() }

    ElidingComboBox {
        id: combo
        Layout.fillWidth: true
        visible: count > 0
        editable: false
        model: control.itemsSource ? control.itemsSource.ThemeChoices : null
        // The list is rebuilt on every load: read the index again when its rows change.
        currentIndex: count >= 0 && control.field ? control.field.IntValue : -1
        displayText: {
            var theme = control.themeAt(currentIndex)
            return theme ? theme.Name : ""
        }
        onActivated: control.field.IntValue = index

        delegate: ItemDelegate {
            width: combo.width
            highlighted: combo.highlightedIndex === index
            contentItem: Label {
                text: modelData.Version === "" ? modelData.Name : modelData.Name + "  " + modelData.Version
                wrapMode: Text.Wrap
                verticalAlignment: Text.AlignVCenter
            }
        }
    }

    Label {
        Layout.fillWidth: true
        visible: text !== ""
        text: control.field ? control.field.Error : ""
        color: "#CE3535"
        font.pixelSize: combo.visible ? 12 : combo.font.pixelSize
        wrapMode: Text.WordWrap
    }

    Connections {
        target: control.field
        function onValidateFailed() { control.takeFocus() }
    }
}
