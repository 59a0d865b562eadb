#pragma once

#include <QGuiApplication>
#include <QQuickWindow>
#include <QString>

// The program's QML windows, for tests that run the program in their own process
// (header only: the test links Qt Quick, the support library does not).
namespace QuickWindows {

inline QQuickWindow* titled(const QString& title)
{
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (auto* quick = qobject_cast<QQuickWindow*>(window); quick && quick->title() == title)
            return quick;
    }
    return nullptr;
}

} // namespace QuickWindows
