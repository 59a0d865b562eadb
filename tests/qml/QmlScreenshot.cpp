// Writes pictures of a QML window of the client, built over the real view
// models, for a person to look at; run it on an X display with real fonts (the
// README shows how). Each shot NAME[=SCRIPT] runs SCRIPT (JavaScript with the
// root object in scope) and writes the window to
// <build>/test-output/screenshots/NAME.png. A root that is no window is shown in
// a window of its own. Settings and data go to a private folder under
// test-output, never to the user's own.

#include "QmlViewModels.h"
#include "SoftwareRendering.h"
#include "TestHome.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QQuickWindow>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

const QString OutputDir = QStringLiteral(SCRIVORA_TEST_OUTPUT);

void usePrivateHome()
{
    const QString home = OutputDir + QStringLiteral("/screenshot-home");
    qputenv("SCRIVORA_TEST_HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/cache")).toLocal8Bit());
}

int fail(const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    usePrivateHome();
    // As the program draws; QT_QUICK_BACKEND (even empty) chooses another.
    SoftwareRendering::chooseUnlessAsked();
    // As the program does: the font it asks for, with whatever the system falls back to.
    QApplication::setFont(QFont(QStringLiteral("Roboto")));
    QApplication app(argc, argv);
    TestHome::useApplicationIdentity();
    TestHome::wipe();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pictures of a QML window of the client"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("connected"), QStringLiteral("Connect to a fake recognition server first.")});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A QML file of the resources: /SettingsWindow.qml"));
    parser.addPositionalArgument(QStringLiteral("shots"), QStringLiteral("NAME or NAME=SCRIPT, one picture each"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() < 2)
        parser.showHelp(1);

    QmlViewModels models;
    if (parser.isSet(QStringLiteral("connected")) && !models.connectToServer())
        return fail(QStringLiteral("The fake recognition server was not reached"));
    QQmlEngine engine;
    models.publish(&engine);
    QStringList warnings;
    QObject::connect(&engine, &QQmlEngine::warnings, [&warnings](const QList<QQmlError>& errors) {
        for (const QQmlError& error : errors)
            warnings << error.toString();
    });

    QString error;
    const QString path = QLatin1Char(':') + args.first();
    std::unique_ptr<QObject> root(models.create(&engine, path, &error));
    if (!root)
        return fail(error);
    std::unique_ptr<QQuickWindow> host;
    QQuickWindow* window = QmlViewModels::windowOf(root.get(), &host);
    if (!window)
        return fail(path + QStringLiteral(" is neither a window nor an item"));

    const QString shotDir = OutputDir + QStringLiteral("/screenshots");
    QDir().mkpath(shotDir);
    for (const QString& shot : args.mid(1)) {
        const QString name = shot.section(QLatin1Char('='), 0, 0);
        const QString script = shot.section(QLatin1Char('='), 1);
        if (!script.isEmpty()) {
            QQmlExpression expression(qmlContext(root.get()), root.get(), script);
            expression.evaluate();
            if (expression.hasError())
                return fail(expression.error().toString());
        }
        if (!window->isVisible())
            window->show();
        if (!QTest::qWaitForWindowExposed(window, TestHome::scaled(5000)))
            return fail(QStringLiteral("The window was not shown"));
        // Let transitions and delayed layouts finish before the picture.
        QTest::qWait(300);
        const QString file = shotDir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!window->grabWindow().save(file))
            return fail(QStringLiteral("Could not write ") + file);
        std::printf("%s\n", qPrintable(file));
    }
    for (const QString& warning : qAsConst(warnings))
        std::fprintf(stderr, "QML warning: %s\n", qPrintable(warning));
    return warnings.isEmpty() ? 0 : 1;
}
