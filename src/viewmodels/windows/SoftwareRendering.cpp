#include "SoftwareRendering.h"

#include <QCoreApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>

void SoftwareRendering::chooseUnlessAsked()
{
    // A backend set here would win over the user's variable: look first.
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet("QMLSCENE_DEVICE"))
        return;
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    // Top-level widgets (question boxes, notices, file dialogs) would otherwise
    // ask for an OpenGL-capable window and load the OpenGL driver themselves.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
}
