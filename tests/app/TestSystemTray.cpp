#include "SystemTray.h"
#include "TestHome.h"

#include "ASRSettings.h"
#include "SelfTestSettings.h"

#include <QtTest>

#include <QAction>
#include <QMenu>

namespace {

class RecordingTray : public SystemTray
{
public:
    using SystemTray::SystemTray;
    void showMessage(QString title, QString msg, QSystemTrayIcon::MessageIcon icon) override
    {
        messages << QStringLiteral("%1|%2|%3").arg(title, msg).arg(int(icon));
    }
    QStringList messages;
};

ConnectionStateInfo stateInfo(int state, const QString& message = QString())
{
    ConnectionStateInfo info;
    info.setState(state);
    info.setMessage(message);
    info.setBalancerHost(QStringLiteral("balancer.local"));
    info.setServerHost(QStringLiteral("asr.local"));
    return info;
}

QStringList visibleEntries(QMenu* menu)
{
    QStringList entries;
    for (QAction* action : menu->actions()) {
        if (action->isVisible())
            entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return entries;
}

} // namespace

class TestSystemTray : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void defaultMenu();
    void optionalEntries();
    void connectionStates();
    void failureMessageShownOnceUntilReady();
    void menuSignals();
    void noticeOrder();
};

void TestSystemTray::init()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
}

void TestSystemTray::defaultMenu()
{
    RecordingTray tray;
    QCOMPARE(visibleEntries(tray.menu()),
             (QStringList{QStringLiteral("Подключиться к серверу"), QStringLiteral("-"), QStringLiteral("Настройки"),
                          QStringLiteral("Автозамена"), QStringLiteral("-"), QStringLiteral("Обратная связь"),
                          QStringLiteral("-"), QStringLiteral("Выход")}));
    QCOMPARE(tray.toolTip(), QStringLiteral("Quillora Client"));
    QVERIFY(!tray.menu()->styleSheet().isEmpty());
    QVERIFY(!tray.trayIcon()->icon().isNull());
}

void TestSystemTray::optionalEntries()
{
    {
        ASRSettings asr;
        asr.CanEditKivaroWords = true;
        SelfTestSettings selfTest;
        selfTest.Enabled = true;
    }
    RecordingTray tray;
    QStringList entries = visibleEntries(tray.menu());
    QVERIFY(entries.contains(QStringLiteral("Мои слова")));
    QCOMPARE(entries.at(entries.size() - 3), QStringLiteral("Тесты"));
    QVERIFY(!entries.contains(QStringLiteral("Руководство пользователя"))); // no help file here

    tray.onRecognitionParametersChanged(false);
    QVERIFY(!visibleEntries(tray.menu()).contains(QStringLiteral("Мои слова")));
}

void TestSystemTray::connectionStates()
{
    RecordingTray tray;
    tray.onConnectionStateChanged(stateInfo(3));
    QCOMPARE(tray.toolTip(), QStringLiteral("Quillora Client\nПодключается к asr.local\nБалансер balancer.local"));
    QVERIFY(!tray.menu()->actions().first()->isEnabled());

    tray.onConnectionStateChanged(stateInfo(14));
    QCOMPARE(tray.toolTip(), QStringLiteral("Quillora Client\nСервер asr.local\nБалансер balancer.local"));
    QVERIFY(!visibleEntries(tray.menu()).contains(QStringLiteral("Подключиться к серверу")));
    QCOMPARE(visibleEntries(tray.menu()).first(), QStringLiteral("Настройки"));

    tray.onConnectionStateChanged(stateInfo(1));
    QCOMPARE(tray.toolTip(), QStringLiteral("Quillora Client\nОтключен от сервера\nБалансер balancer.local"));
    QVERIFY(tray.menu()->actions().first()->isVisible());
    QVERIFY(tray.menu()->actions().first()->isEnabled());
    QVERIFY(tray.messages.isEmpty());
}

void TestSystemTray::failureMessageShownOnceUntilReady()
{
    RecordingTray tray;
    tray.onConnectionStateChanged(stateInfo(0, QStringLiteral("Нет доступных серверов")));
    tray.onConnectionStateChanged(stateInfo(2));
    tray.onConnectionStateChanged(stateInfo(0, QStringLiteral("Нет доступных серверов")));
    QCOMPARE(tray.messages, QStringList{QStringLiteral("|Нет доступных серверов|3")});
    // The cause stays in the tooltip for whoever missed the balloon.
    QCOMPARE(tray.toolTip(), QStringLiteral("Quillora Client\nОтключен от сервера\nБалансер balancer.local\n"
                                            "Нет доступных серверов"));
    tray.onConnectionStateChanged(stateInfo(14));
    tray.onConnectionStateChanged(stateInfo(0, QStringLiteral("снова")));
    QCOMPARE(tray.messages.size(), 2);
}

void TestSystemTray::menuSignals()
{
    RecordingTray tray;
    QSignalSpy quit(&tray, &SystemTray::signalQuit);
    QSignalSpy connectRequest(&tray, &SystemTray::signalConnectRequest);
    for (QAction* action : tray.menu()->actions()) {
        if (action->text() == QStringLiteral("Выход") || action->text() == QStringLiteral("Подключиться к серверу"))
            action->trigger();
    }
    QCOMPARE(quit.count(), 1);
    QCOMPARE(connectRequest.count(), 1);
}

void TestSystemTray::noticeOrder()
{
    NoticeQueue queue(4000);
    QStringList shown;
    connect(&queue, &NoticeQueue::show, this,
            [&shown](const QString& title, const QString&, QSystemTrayIcon::MessageIcon icon, int) {
                shown << QStringLiteral("%1 %2").arg(int(icon)).arg(title);
            });
    const auto post = [&queue](QSystemTrayIcon::MessageIcon icon, const char* title) {
        queue.post({QString::fromUtf8(title), QStringLiteral("текст"), icon});
    };
    // Start-up: before the tray icon is up, notices only wait.
    post(QSystemTrayIcon::Warning, "Настройки сброшены");
    post(QSystemTrayIcon::Warning, "Команды загружены не полностью");
    post(QSystemTrayIcon::Warning, "Настройки сброшены");
    QCOMPARE(shown, QStringList());
    queue.open();
    queue.setDisplayTime(30);
    // A lesser notice waits; a graver one comes at once and the one it hid returns after it.
    post(QSystemTrayIcon::Information, "Оповещение");
    post(QSystemTrayIcon::Critical, "Микрофон не работает");
    post(QSystemTrayIcon::Warning, "Звук не воспроизводится");
    post(QSystemTrayIcon::Critical, "Микрофон не работает");
    QCOMPARE(shown, (QStringList{"2 Настройки сброшены", "3 Микрофон не работает"}));
    QTRY_COMPARE_WITH_TIMEOUT(shown, (QStringList{"2 Настройки сброшены", "3 Микрофон не работает", "2 Настройки сброшены",
                                     "2 Команды загружены не полностью", "2 Звук не воспроизводится", "1 Оповещение"}),
                                     TestHome::scaled(5000));
    QCOMPARE(queue.waitingCount(), 0);

    // A balloon the user clicked away makes room for the next one at once.
    queue.dismissCurrent();
    queue.setDisplayTime(60000);
    shown.clear();
    post(QSystemTrayIcon::Information, "первое");
    post(QSystemTrayIcon::Information, "второе");
    queue.dismissCurrent();
    QCOMPARE(shown, (QStringList{"1 первое", "1 второе"}));

    // While the dictation monitor shows, no balloon lies over its stop button:
    // the one up goes, and it and those that come then follow once it hides.
    int hidden = 0;
    connect(&queue, &NoticeQueue::hide, this, [&hidden] { ++hidden; });
    shown.clear();
    queue.setMonitorShown(true);
    QCOMPARE(hidden, 1);
    post(QSystemTrayIcon::Information, "второе");
    post(QSystemTrayIcon::Critical, "Команда не выполнена");
    post(QSystemTrayIcon::Information, "третье");
    queue.dismissCurrent();
    QCOMPARE(shown, QStringList());
    queue.setMonitorShown(false);
    QCOMPARE(shown, QStringList{"3 Команда не выполнена"});
    queue.dismissCurrent();
    queue.dismissCurrent();
    QCOMPARE(shown, (QStringList{"3 Команда не выполнена", "1 второе", "1 третье"}));
    QCOMPARE(queue.waitingCount(), 0);
}

QTEST_MAIN(TestSystemTray)
#include "TestSystemTray.moc"
