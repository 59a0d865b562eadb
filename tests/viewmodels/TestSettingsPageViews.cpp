#include "AboutSettingsViewModel.h"
#include "AudioDeviceSettingsViewModel.h"
#include "NetworkSettingsViewModel.h"
#include "PulseAudioManager.h"
#include "PulseTestServer.h"
#include "RecordingDeviceManager.h"
#include "SynthesisSettingsViewModel.h"
#include "TestHome.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QtTest>

#include <memory>

// The page views with their real view models, as the settings window shows
// them: no QML warning (unknown property, failed binding) and a screenshot of
// each for review under test-output/screenshots.
class TestSettingsPageViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void networkPage();
    void audioPage();
    void synthesisPage();
    void aboutPage();

private:
    // Shows the view, then hands it the model the way a loader does: after creation.
    QQuickView* show(const char* view, QObject* model);
    void screenshot(const QString& name);

    std::unique_ptr<QQuickView> window;
    QList<QQmlError> warnings;
};

void TestSettingsPageViews::initTestCase()
{
    Q_INIT_RESOURCE(qml);
    Q_INIT_RESOURCE(app);
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    QCoreApplication::setApplicationVersion(QStringLiteral("7.2.400 (Linux)"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    QGuiApplication::setFont(font);
}

void TestSettingsPageViews::cleanup()
{
    window.reset();
    QCOMPARE(warnings.size(), 0);
}

QQuickView* TestSettingsPageViews::show(const char* view, QObject* model)
{
    warnings.clear();
    window = std::make_unique<QQuickView>();
    connect(window->engine(), &QQmlEngine::warnings, this, [this](const QList<QQmlError>& list) {
        for (const QQmlError& error : list)
            qWarning().noquote() << error.toString();
        warnings += list;
    });
    window->setResizeMode(QQuickView::SizeRootObjectToView);
    window->resize(756, 460);
    window->setColor(Qt::white);
    window->setSource(QUrl(QStringLiteral("qrc:/Views/") + QLatin1String(view)));
    if (!window->rootObject())
        return nullptr;
    window->show();
    window->rootObject()->setProperty("viewModel", QVariant::fromValue(model));
    return QTest::qWaitForWindowExposed(window.get()) ? window.get() : nullptr;
}

void TestSettingsPageViews::screenshot(const QString& name)
{
    QCoreApplication::processEvents();
    const QString folder = QStringLiteral(SCRIVORA_TEST_OUTPUT "/screenshots");
    QDir().mkpath(folder);
    QVERIFY(window->grabWindow().save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}

void TestSettingsPageViews::networkPage()
{
    NetworkSettingsViewModel model;
    model.onLoad();
    QVERIFY(show("NetworkSettingsView.qml", &model));
    screenshot(QStringLiteral("network"));

    // A failed apply marks the field and moves the focus to it.
    model.get_ASRServerHost()->set_Text(QStringLiteral("asr server"));
    model.get_RestProxyPort()->set_Text(QStringLiteral("70000"));
    ConnectionStateInfo failed;
    failed.setState(0);
    failed.setMessage(QStringLiteral("Не удалось подключиться к серверу распознавания"));
    model.onConnectionStateChanged(failed);
    window->requestActivate();
    QVERIFY(!model.applyCommand());
    QQuickItem* host = nullptr;
    for (QQuickItem* item : window->rootObject()->findChildren<QQuickItem*>()) {
        if (item->property("text").toString() == QLatin1String("asr server") && item->property("maximumLength").isValid())
            host = item;
    }
    QVERIFY(host);
    QTRY_VERIFY(host->hasActiveFocus());
    screenshot(QStringLiteral("network-errors"));
}

void TestSettingsPageViews::audioPage()
{
    QVERIFY2(PulseTestServer::isRunning(), "needs the sound server of scripts/headless-services.sh");
    PulseAudioManager audio;
    audio.Start();
    QTRY_VERIFY_WITH_TIMEOUT(audio.RecordingManager()->SelectedIndex() >= 0, 10000);
    audio.RecordingManager()->set_Gain(65);
    AudioDeviceSettingsViewModel model(audio.RecordingManager(), audio.PlaybackManager());
    model.onLoad();
    QVERIFY(show("AudioDeviceSettingsView.qml", &model));
    screenshot(QStringLiteral("audio"));
    model.onClose();
    window.reset();
}

void TestSettingsPageViews::synthesisPage()
{
    SynthesisSettingsViewModel model;
    model.onLoad();
    QVERIFY(show("SynthesisSettingsView.qml", &model));
    screenshot(QStringLiteral("synthesis-waiting"));
    const QJsonArray voices{QJsonObject{{"Name", "Alena"}}, QJsonObject{{"Name", "Филипп"}}};
    model.OnTtsStateChanged(TtsStateInfo(QJsonObject{
        {"State", 0}, {"VoiceList", voices}, {"SelectedVoice", QJsonObject{{"Name", "Alena"}}}, {"Speed", 1.0}}));
    model.set_TTSSpeed(1.3);
    screenshot(QStringLiteral("synthesis"));
    model.OnTtsStateChanged(TtsStateInfo(QJsonObject{
        {"State", 1}, {"VoiceList", voices}, {"SelectedVoice", QJsonObject{{"Name", "Alena"}}}, {"Speed", 1.0}}));
    screenshot(QStringLiteral("synthesis-error"));
}

void TestSettingsPageViews::aboutPage()
{
    AboutSettingsViewModel model;
    QVERIFY(show("AboutSettingsView.qml", &model));
    screenshot(QStringLiteral("about"));
}

QTEST_MAIN(TestSettingsPageViews)
#include "TestSettingsPageViews.moc"
