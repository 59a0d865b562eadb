import QtQuick 2.15
import "../Edit"

// Voice commands that press a key chord.
// viewModel: CommandsCollectionViewModel.
CommandListView {
    patternHeader: "Голосовая команда"
    textHeader: "Сочетание клавиш"
    editWindow: Component { HotKeyEditWindow {} }
}
