#pragma once

class QDialog;
class QWindow;

// Runs a widget dialog of a view model over the client window that has the
// focus, and gives that window the focus back once the dialog is closed: a
// window manager would otherwise hand it to the application used before
// (the client's windows stay out of its focus order), and the next keys meant
// for the client would be typed there. GUI thread only.
class TransientDialog
{
public:
    // QDialog::exec over the focused window; its result.
    static int exec(QDialog& dialog);
    // The same over `opener`: for a dialog that follows another, when the
    // focus may not be back from the first one yet. Null runs it over nothing.
    static int exec(QDialog& dialog, QWindow* opener);
};
