#include "NetworkSettingsViewModel.h"
#include "TestHome.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QtTest>

// The network page's own edit fields (narrower than their errors): typing reaches the
// model, and a failed apply brings the focus back to the first rejected field.
class TestNetworkSettingsView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void typedTextIsCheckedAndFocused_data();
    void typedTextIsCheckedAndFocused();
};

void TestNetworkSettingsView::initTestCase()
{
    Q_INIT_RESOURCE(qml);
    TestHome::useApplicationIdentity();
    TestHome::wipe();
}

void TestNetworkSettingsView::typedTextIsCheckedAndFocused_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error");

    QTest::newRow("host") << "localhost" << "asr server" << "Некорректное имя хоста. Введите IP адрес или имя сервера";
    QTest::newRow("proxy port") << "39256" << "8a" << "Порт должен быть в диапазоне от 1 до 65535";
}

void TestNetworkSettingsView::typedTextIsCheckedAndFocused()
{
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QString, error);

    NetworkSettingsViewModel model;
    model.onLoad();
    QQuickView view;
    QStringList warnings;
    connect(view.engine(), &QQmlEngine::warnings, this, [&warnings](const QList<QQmlError>& errors) {
        for (const QQmlError& e : errors)
            warnings << e.toString();
    });
    view.setInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue<QObject*>(&model)}});
    view.setSource(QUrl(QStringLiteral("qrc:/Views/NetworkSettingsView.qml")));
    view.show();
    view.requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(&view, TestHome::scaled(5000)));

    QQuickItem* input = nullptr;
    const QList<QQuickItem*> items = view.rootObject()->findChildren<QQuickItem*>();
    for (QQuickItem* item : items) {
        if (item->inherits("QQuickTextField") && item->property("text").toString() == shown)
            input = item;
    }
    QVERIFY(input);
    input->forceActiveFocus();
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    for (const QChar c : typed)
        QTest::sendKeyEvent(QTest::Click, &view, Qt::Key_unknown, QString(c), Qt::NoModifier);
    const QStringList texts{model.get_ASRServerHost()->get_Text(), model.get_ASRServerPort()->get_Text(),
                            model.get_RestProxyPort()->get_Text()};
    QVERIFY2(texts.contains(typed), qPrintable(texts.join('|')));

    QQuickItem elsewhere(view.contentItem());
    elsewhere.forceActiveFocus();
    QVERIFY(!input->hasActiveFocus());
    QVERIFY(!model.applyCommand());
    QTRY_VERIFY_WITH_TIMEOUT(input->hasActiveFocus(), TestHome::scaled(5000));
    const bool errorShown = std::any_of(items.cbegin(), items.cend(), [&](QQuickItem* item) {
        return item->isVisible() && item->property("text").toString() == error;
    });
    QVERIFY(errorShown);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
}

QTEST_MAIN(TestNetworkSettingsView)
#include "TestNetworkSettingsView.moc"
