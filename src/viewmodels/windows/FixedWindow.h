#pragma once

#include <QtQml/qqml.h>
#include <QtQuickTemplates2/private/qquickapplicationwindow_p.h>

// A Quick Controls application window for the client's small tool windows:
// kept out of the task bar and the pager and shown on every desktop, like the
// tool windows of a tray program, every time it is shown. GUI thread only.
class FixedWindow : public QQuickApplicationWindow
{
    Q_OBJECT
    // The base declares its attached type the old way; name it for the registration.
    QML_ATTACHED(QQuickApplicationWindowAttached)

public:
    explicit FixedWindow(QWindow* parent = nullptr);
    ~FixedWindow() override;

    // As "QFixedWindow" 1.0 of the module "QLR".
    static void registerQmlType();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void askForToolWindowState();
    // Moves the window, frame included, into the screen's work area.
    void keepOnScreen();

    // Closing forgets the focus before the window is hidden.
    bool closingWithFocus = false;
    // Placed by the window manager, not yet checked.
    bool placed = false;
};
