#pragma once

class QDialog;

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
};
