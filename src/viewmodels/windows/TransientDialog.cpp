#include "TransientDialog.h"

#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

int TransientDialog::exec(QDialog& dialog)
{
    return exec(dialog, QGuiApplication::focusWindow());
}

int TransientDialog::exec(QDialog& dialog, QWindow* openerWindow)
{
    const QPointer<QWindow> opener = openerWindow;
    if (opener) {
        // The native window exists only after winId(); the transient hint goes with its first showing.
        dialog.winId();
        dialog.windowHandle()->setTransientParent(opener);
    }
    const int result = dialog.exec();
    if (opener && opener->isVisible()) {
        // Until Qt hears that the focus left the hidden dialog, it would hand the
        // focus to the dialog's own window directly, with a timestamp the X server
        // may refuse; without the link it asks the window manager.
        dialog.windowHandle()->setTransientParent(nullptr);
        opener->requestActivate();
    }
    return result;
}
