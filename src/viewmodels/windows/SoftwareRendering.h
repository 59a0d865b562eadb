#pragma once

// Draws the windows without OpenGL: on machines without a GPU (terminal servers,
// one copy per user) OpenGL is Mesa's software renderer, which costs some 50 MB
// and many threads from the first window on, and the windows need nothing of it.
// Called on the main thread before the application object exists.
class SoftwareRendering
{
public:
    // Unless the user chose a Qt Quick backend (QT_QUICK_BACKEND or
    // QMLSCENE_DEVICE set, even empty, which gives Qt's own choice back).
    static void chooseUnlessAsked();
};
