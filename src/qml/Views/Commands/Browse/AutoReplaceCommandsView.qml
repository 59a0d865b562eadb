import QtQuick 2.15
import "../Edit"

// Auto-replace rules: the phrase heard and the text typed instead of it.
// viewModel: CommandsCollectionViewModel.
CommandListView {
    patternHeader: "Заменяемый текст"
    textHeader: "Текст автозамены"
    editWindow: Component { TextReplaceEditWindow {} }
}
