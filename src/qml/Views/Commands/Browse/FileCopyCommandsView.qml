import QtQuick 2.15
import "../Edit"

// Voice commands that type the text of a document.
// viewModel: CommandsCollectionViewModel.
CommandListView {
    patternHeader: "Команда"
    textHeader: "Путь к файлу"
    textElide: Text.ElideMiddle
    editWindow: Component { FileCopyEditWindow {} }
}
