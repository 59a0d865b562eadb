import QtQuick 2.15

// Stands in for a view that this program does not have: a page or a list without one shows nothing.
Item {
    property QtObject viewModel
}
