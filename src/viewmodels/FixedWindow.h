#pragma once

#include <QtQml/qqml.h>
#include <QtQuickTemplates2/private/qquickapplicationwindow_p.h>

// A Quick Controls application window for the client's small tool windows.
class FixedWindow : public QQuickApplicationWindow
{
    Q_OBJECT
    // The base declares its attached type the old way; name it for the registration.
    QML_ATTACHED(QQuickApplicationWindowAttached)

public:
    explicit FixedWindow(QWindow* parent = nullptr);
    ~FixedWindow() override;
};
