import QtQuick 2.15

// The frame of a validatable field: red while its text is rejected, blue while it has the focus.
Rectangle {
    property bool invalid: false
    property bool focused: false

    implicitHeight: 32
    radius: 2
    color: "white"
    border.width: focused ? 2 : 1
    border.color: invalid ? "#d32f2f" : focused ? "#1e88e5" : "#bdbdbd"
}
