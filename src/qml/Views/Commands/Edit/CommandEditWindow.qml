import QtQuick 2.15

// A voice command with a program or text to run: the phrase and its target;
// the program list shows the file chooser. viewModel: ProcessExecuteEditModel.
TextReplaceEditWindow {
}
