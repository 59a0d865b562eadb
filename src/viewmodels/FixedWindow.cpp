#include "FixedWindow.h"

FixedWindow::FixedWindow(QWindow* parent)
    : QQuickApplicationWindow(parent)
{
}

FixedWindow::~FixedWindow() = default;
