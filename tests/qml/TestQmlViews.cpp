#include "QmlViewModels.h"
#include "TestHome.h"

#include <QDirIterator>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

namespace {

// Windows that show more after a call than after show().
const QMap<QString, QString>& afterShow()
{
    static const QMap<QString, QString> scripts{
        {QStringLiteral(":/SettingsWindow.qml"), QStringLiteral("showSettings()")},
    };
    return scripts;
}

void evaluate(QObject* root, const QString& script)
{
    QQmlExpression expression(qmlContext(root), root, script);
    expression.evaluate();
    QVERIFY2(!expression.hasError(), qPrintable(expression.error().toString()));
}

QStringList qmlResources()
{
    QStringList files;
    QDirIterator it(QStringLiteral(":/"), {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        // Qt's own modules keep their files in the resources too.
        if (!path.startsWith(QLatin1String(":/qt-project.org/")))
            files << path;
    }
    files.sort();
    return files;
}

} // namespace

// Every QML file of the program, loaded over the real view models: any engine
// warning (unknown property or type, binding or script error) fails it.
class TestQmlViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loadsWithoutWarnings_data();
    void loadsWithoutWarnings();

private:
    std::unique_ptr<QmlViewModels> models;
    std::unique_ptr<QQmlEngine> engine;
    QStringList warnings;
};

void TestQmlViews::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    models = std::make_unique<QmlViewModels>();
    QVERIFY(models->connectToServer());
    engine = std::make_unique<QQmlEngine>();
    models->publish(engine.get());
    connect(engine.get(), &QQmlEngine::warnings, this, [this](const QList<QQmlError>& errors) {
        for (const QQmlError& error : errors)
            warnings << error.toString();
    });
}

void TestQmlViews::cleanupTestCase()
{
    engine.reset();
    models.reset();
}

void TestQmlViews::loadsWithoutWarnings_data()
{
    QTest::addColumn<QString>("path");
    const QStringList files = qmlResources();
    QVERIFY(files.contains(QStringLiteral(":/main.qml")));
    for (const QString& path : files)
        QTest::newRow(qPrintable(path.mid(2))) << path;
}

void TestQmlViews::loadsWithoutWarnings()
{
    QFETCH(QString, path);
    warnings.clear();

    QString error;
    std::unique_ptr<QObject> root(models->create(engine.get(), path, &error));
    QVERIFY2(root, qPrintable(error));

    // Items are shown in a window of their own, so that layouts and delegates run too.
    std::unique_ptr<QQuickWindow> host;
    QQuickWindow* window = QmlViewModels::windowOf(root.get(), &host);
    if (window) {
        const QString script = afterShow().value(path);
        if (script.isEmpty())
            window->show();
        else
            evaluate(root.get(), script);
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    QCoreApplication::processEvents();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestQmlViews)
#include "TestQmlViews.moc"
