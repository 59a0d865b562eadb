import QtQml 2.15

// What a validatable control shows of its field's verdict. An empty field the
// user has not been to yet is only unfilled, not wrong: its error waits until
// the user edits or leaves the field, or a check before saving fails.
QtObject {
    property QtObject viewModel
    property string text
    property bool touched: false

    readonly property bool shown: !!viewModel && !viewModel.IsValid && (touched || text !== "")
    readonly property string error: shown ? viewModel.Error : ""

    onViewModelChanged: touched = false
}
