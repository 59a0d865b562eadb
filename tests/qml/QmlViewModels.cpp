#include "QmlViewModels.h"

#include "AboutSettingsViewModel.h"
#include "AppVariables.h"
#include "AsrManager.h"
#include "AudioDeviceSettingsViewModel.h"
#include "CommandsCollectionViewModel.h"
#include "CommandsViewModel.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "FeedbackViewModel.h"
#include "FixedWindow.h"
#include "KivaroViewModel.h"
#include "LaunchManager.h"
#include "LaunchSettingsViewModel.h"
#include "LoopbackConnection.h"
#include "MonitorViewModel.h"
#include "NetworkSettingsViewModel.h"
#include "PulseAudioManager.h"
#include "RecognitionSettingsViewModel.h"
#include "RestProxyServer.h"
#include "SelfTest.h"
#include "SelfTestViewModel.h"
#include "SettingsContainerViewModel.h"
#include "StatisticsSettings.h"
#include "StatisticsSettingsViewModel.h"
#include "StatisticsViewModel.h"
#include "SynthesisSettingsViewModel.h"
#include "SystemTray.h"
#include "TtsManager.h"
#include "TestHome.h"
#include "UserCommandFiles.h"
#include "UserCommandsManager.h"
#include "ValidatableText.h"
#include "VexStyle.h"
#include "WebSocketWorker.h"
#include "WindowsManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

static void registerQmlResources()
{
    Q_INIT_RESOURCE(qml);
}

namespace {
// Files whose "viewModel" is no settings page: the context property to hand
// over, or none for a view that needs no object.
const QMap<QString, QString>& viewModelNames()
{
    static const QMap<QString, QString> names{
        {QStringLiteral(":/EmptyWindow.qml"), QString()},
        {QStringLiteral(":/Controls/ValidatableText.qml"), QStringLiteral("validatableField")},
        {QStringLiteral(":/Controls/ValidatableTextArea.qml"), QStringLiteral("validatableField")},
        {QStringLiteral(":/Controls/FieldVerdict.qml"), QStringLiteral("validatableField")},
        {QStringLiteral(":/Views/Commands/Browse/CommandListView.qml"), QStringLiteral("sampleTextCommands")},
        {QStringLiteral(":/Views/Commands/Browse/AutoReplaceCommandsView.qml"), QStringLiteral("sampleTextCommands")},
        {QStringLiteral(":/Views/Commands/Browse/HotKeyCommandsView.qml"), QStringLiteral("sampleKeyCommands")},
        {QStringLiteral(":/Views/Commands/Browse/ProcessCommandsView.qml"), QStringLiteral("sampleExeCommands")},
        {QStringLiteral(":/Views/Commands/Browse/FileCopyCommandsView.qml"), QStringLiteral("sampleFileCopyCommands")},
        {QStringLiteral(":/Views/Commands/Edit/EditWindow.qml"), QStringLiteral("sampleTextEdit")},
        {QStringLiteral(":/Views/Commands/Edit/TextReplaceEditWindow.qml"), QStringLiteral("sampleTextEdit")},
        {QStringLiteral(":/Views/Commands/Edit/CommandEditWindow.qml"), QStringLiteral("sampleExeEdit")},
        {QStringLiteral(":/Views/Commands/Edit/HotKeyEditWindow.qml"), QStringLiteral("sampleKeyEdit")},
        {QStringLiteral(":/Views/Commands/Edit/FileCopyEditWindow.qml"), QStringLiteral("sampleFileCopyEdit")},
        {QStringLiteral(":/StatisticsWindow.qml"), QStringLiteral("statisticsViewModel")},
        {QStringLiteral(":/Views/SelfTest/SelfTestWindow.qml"), QStringLiteral("selfTestViewModel")},
        {QStringLiteral(":/Views/FeedbackWindow.qml"), QStringLiteral("feedbackViewModel")},
        {QStringLiteral(":/Views/StartThemeSelectionView.qml"), QStringLiteral("recognitionSettingsViewModel")},
        {QStringLiteral(":/Views/AlternateStartThemeSelectionView.qml"), QStringLiteral("recognitionSettingsViewModel")},
        {QStringLiteral(":/Views/MonitorViews/MonitorView.qml"), QStringLiteral("monitorViewModel")},
        {QStringLiteral(":/Views/MonitorViews/MicView.qml"), QStringLiteral("monitorViewModel")},
        {QStringLiteral(":/Views/MonitorViews/GainView.qml"), QStringLiteral("monitorViewModel")},
        {QStringLiteral(":/Views/MonitorViews/ResultView.qml"), QStringLiteral("monitorViewModel")},
        {QStringLiteral(":/Views/MonitorViews/ThemeView.qml"), QStringLiteral("monitorViewModel")},
    };
    return names;
}

bool isNoObject(const QString& path)
{
    return viewModelNames().contains(path) && viewModelNames().value(path).isEmpty();
}

UserCommand sample(UserCommandType type, const QString& pattern, const QString& text, bool isSystem = false)
{
    UserCommand command(type);
    command.Pattern = pattern;
    command.Text = text;
    command.IsSystem = isSystem;
    return command;
}

QString sampleDocument()
{
    const QString path = QDir(TestHome::path()).filePath(QStringLiteral("Осмотр.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("Жалобы: нет.\nОбщее состояние удовлетворительное.\nКожные покровы обычной окраски.\n");
    return path;
}

// A few commands of every type in the user's command files, for the editor to show.
void writeSampleCommands()
{
    using namespace UserCommandNamespace;
    const QString folder = UserCommandsManager::commandsFolder();
    QDir().mkpath(folder);
    ClientThemeInfo theme;
    UserCommandFiles::Save(QDir(folder).filePath(UserCommandFiles::DefaultFileName), theme,
                           {sample(Text, "ад", "артериальное давление"), sample(Text, "чсс", "частота сердечных сокращений"),
                            sample(Key, "сохранить документ", "Ctrl+s"), sample(Key, "обновить страницу", "Ctrl+Shift+F5"),
                            sample(Exe, "открыть калькулятор", "/usr/bin/gnome-calculator"),
                            sample(FileCopy, "шаблон осмотра", sampleDocument())});
    theme.setId(QStringLiteral("t1"));
    theme.setName(QStringLiteral("Терапия"));
    UserCommandFiles::Save(QDir(folder).filePath(UserCommandFiles::ThemeFileTemplate.arg(theme.id())), theme,
                           {sample(Text, "жкт", "желудочно-кишечный тракт")});
}

// For showing the editor's list views and edit windows on their own: a list of
// each command type under "sample<Type>Commands" and an edit model of its last
// row under "sample<Type>Edit", all owned by `editor`.
QList<QPair<QString, QObject*>> sampleCommandObjects(CommandsViewModel* editor)
{
    using namespace UserCommandNamespace;
    editor->set_CommandsManager(nullptr, UserCommandsManager().get_CommandTypes());
    const QList<QPair<UserCommandType, QList<UserCommand>>> rows{
        {Text, {sample(Text, "точка", ".", true), sample(Text, "новая строка", "\n", true),
                sample(Text, "ад", "артериальное давление"), sample(Text, "чсс", "частота сердечных сокращений")}},
        {Key, {sample(Key, "сохранить документ", "Ctrl+s"), sample(Key, "обновить страницу", "Ctrl+Shift+F5")}},
        {Exe, {sample(Exe, "открыть калькулятор", "/usr/bin/gnome-calculator")}},
        {FileCopy, {sample(FileCopy, "шаблон осмотра", sampleDocument())}},
    };
    const QStringList names{QStringLiteral("Text"), QStringLiteral("Key"), QStringLiteral("Exe"),
                            QStringLiteral("FileCopy")};
    QList<QPair<QString, QObject*>> objects;
    for (int i = 0; i < rows.size(); ++i) {
        auto* collection = new CommandsCollectionViewModel(rows[i].first, editor);
        for (const UserCommand& command : rows[i].second)
            collection->append(new UserCommandViewModel(command, QString(), collection));
        objects.append({QStringLiteral("sample%1Commands").arg(names[i]), collection});
        objects.append({QStringLiteral("sample%1Edit").arg(names[i]),
                        collection->editCommand(collection->sourceCollection()->itemAt(rows[i].second.size() - 1))});
    }
    return objects;
}

} // namespace

QmlViewModels::QmlViewModels()
    : link(std::make_unique<LoopbackConnection>())
    , audio(std::make_unique<PulseAudioManager>())
    , windowsManager(std::make_unique<WindowsManager>())
    , tray(std::make_unique<SystemTray>())
{
    registerQmlResources();
    VexStyle::registerQmlType();
    // As the program's main sets it; the About page shows it.
    QCoreApplication::setApplicationVersion(AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("Version"))
                                           + QStringLiteral(" (Linux)"));
    link->offerThemes({QJsonObject{{"Id", "t1"}, {"Name", "Терапия"}}, QJsonObject{{"Id", "t2"}, {"Name", "Хирургия"}}});
    {
        // No start-up theme check: a connected link goes straight to the ready state.
        ConnectionManagerSettings quiet;
        quiet.QuietConnectionEnabled = true;
        quiet.sync();
    }
    link->build(1000);
    WebSocketWorker* worker = link->worker();
    ConnectionManager* connection = link->driver();
    RecordingDeviceManager* recording = audio->RecordingManager();
    audio->Start();

    auto* recognition = new RecognitionSettingsViewModel;
    recognition->set_AsrManager(worker->asrManager());
    auto* synthesis = new SynthesisSettingsViewModel;
    auto* tts = new TtsManager(synthesis);
    synthesis->set_TtsManager(tts);
    // The launch page is a child of the worker's LaunchManager, as in the program.
    auto* launch = new LaunchSettingsViewModel(worker->launchManager());
    pages = {new AudioDeviceSettingsViewModel(recording, audio->PlaybackManager()),
             launch,
             recognition,
             synthesis,
             new NetworkSettingsViewModel,
             new AboutSettingsViewModel};
    auto* statistics = new StatisticsSettingsViewModel;
    owned << statistics;
    if (StatisticsSettings().FillOrganisationUserInfo)
        pages << statistics;
    for (AppSettingsViewModel* page : qAsConst(pages)) {
        if (page != launch && page != statistics)
            owned << page;
    }
    container = std::make_unique<SettingsContainerViewModel>(pages, connection);

    auto* commands = new CommandsViewModel;
    writeSampleCommands();
    link->wireDictation();
    commands->set_CommandsManager(link->userCommands(), link->userCommands()->get_CommandTypes());
    sampleEditor = std::make_unique<CommandsViewModel>();
    auto* restProxy = new RestProxyServer;
    auto* feedback = new FeedbackViewModel(worker->asrManager(), recording);
    auto* kivaro = new KivaroViewModel(worker->asrManager(), worker->localKivaroManager());
    auto* statisticsWindow = new StatisticsViewModel(QStringLiteral(SCRIVORA_TEST_REFERENCES), nullptr);
    auto* monitor = new MonitorViewModel(worker->asrManager(), worker->resultManager(), recording, connection);
    selfTest = new SelfTestViewModel;
    owned << commands << restProxy << feedback << kivaro << statisticsWindow << monitor << selfTest;

    published = {{QStringLiteral("systemTray"), tray.get()},
                 {QStringLiteral("connectionManager"), connection},
                 {QStringLiteral("settingsViewModel"), container.get()},
                 {QStringLiteral("recognitionSettingsViewModel"), recognition},
                 {QStringLiteral("commandsViewModel"), commands},
                 {QStringLiteral("restProxyServer"), restProxy},
                 {QStringLiteral("feedbackViewModel"), feedback},
                 {QStringLiteral("kivaroViewModel"), kivaro},
                 {QStringLiteral("statisticsViewModel"), statisticsWindow},
                 {QStringLiteral("asrManager"), worker->asrManager()},
                 {QStringLiteral("monitorViewModel"), monitor},
                 {QStringLiteral("selfTestViewModel"), selfTest},
                 {QStringLiteral("windowsManager"), windowsManager.get()}};
    published += sampleCommandObjects(sampleEditor.get());
    // A field that shows an error, as after a failed check.
    field = std::make_unique<ValidatableText>();
    field->setTextValidator([](ValidationArgs* args) {
        if (args->Text.size() < 12)
            args->Error = QStringLiteral("Введите не меньше 12 знаков");
    });
    field->set_Text(QStringLiteral("Терапевт"));
}

QmlViewModels::~QmlViewModels()
{
    link->stop();
    container.reset();
    qDeleteAll(owned);
    audio->Stop();
}

bool QmlViewModels::connectToServer()
{
    FakeRecognitionServer* server = link->addServer();
    link->offerServers({link->entry(QStringLiteral("A"), server->port())});
    link->start();
    if (!link->waitForState(ConnectionManager::Ready))
        return false;
    // The self-test counts the heartbeat's pings, which run while connected.
    link->addHeartbeat(500, 60000);
    // First in the list: it goes before the view model it reports to.
    owned.prepend(new SelfTest(selfTest, link->worker(), link->driver(), link->heartbeat(), audio->RecordingManager()));
    return true;
}

void QmlViewModels::publish(QQmlEngine* engine) const
{
    engine->addImportPath(QStringLiteral("qrc:/"));
    for (const auto& property : published)
        engine->rootContext()->setContextProperty(property.first, property.second);
    engine->rootContext()->setContextProperty(QStringLiteral("validatableField"), field.get());
}

QObject* QmlViewModels::create(QQmlEngine* engine, const QString& path, QString* error)
{
    QQmlComponent component(engine, QUrl(QStringLiteral("qrc") + path));
    QObject* root = component.isReady() ? component.beginCreate(engine->rootContext()) : nullptr;
    if (!root) {
        *error = component.errorString();
        return nullptr;
    }
    if (root->metaObject()->indexOfProperty("viewModel") >= 0 && !isNoObject(path)) {
        const QString name = viewModelNames().value(path);
        QObject* viewModel = name.isEmpty() ? page(QFileInfo(path).completeBaseName() + QStringLiteral("Model"))
                                            : engine->rootContext()->contextProperty(name).value<QObject*>();
        if (!viewModel) {
            *error = path + QStringLiteral(" declares viewModel: name its object in viewModelNames()");
            component.completeCreate();
            delete root;
            return nullptr;
        }
        root->setProperty("viewModel", QVariant::fromValue(viewModel));
    }
    component.completeCreate();
    return root;
}

QQuickWindow* QmlViewModels::windowOf(QObject* root, std::unique_ptr<QQuickWindow>* host)
{
    auto* item = qobject_cast<QQuickItem*>(root);
    if (!item)
        return qobject_cast<QQuickWindow*>(root);
    *host = std::make_unique<QQuickWindow>();
    host->get()->resize(qMax(640, int(item->implicitWidth())), qMax(480, int(item->implicitHeight())));
    item->setParentItem(host->get()->contentItem());
    return host->get();
}

QMenu* QmlViewModels::trayMenu() const
{
    return tray->menu();
}

AppSettingsViewModel* QmlViewModels::page(const QString& className) const
{
    for (AppSettingsViewModel* page : pages) {
        if (page->get_ClassName() == className)
            return page;
    }
    return nullptr;
}

