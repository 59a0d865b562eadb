import QtQuick 2.15
import "../Edit"

// Voice commands that start a program, typed or chosen in a file dialog.
// viewModel: CommandsCollectionViewModel.
CommandListView {
    patternHeader: "Голосовая команда"
    textHeader: "Путь к исполняемому файлу"
    textElide: Text.ElideMiddle
    editWindow: Component { CommandEditWindow { fileSelectVisible: true } }
}
