#include "SystemTray.h"

#include "ASRSettings.h"
#include "AppVariables.h"
#include "SelfTestSettings.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QTimer>


// The app library is static: its resources must be registered by hand.
static void registerAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {
QString appName()
{
    return AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("AppName"));
}
} // namespace

SystemTray::SystemTray(QObject* parent)
    : QObject(parent)
{
    registerAppResources();
    createMenu();
    m_trayIcon = new QSystemTrayIcon;
    m_trayIcon->setContextMenu(m_menu);
    showWarningIcon();
    m_trayIcon->setToolTip(appName());
    connect(&noticeQueue, &NoticeQueue::show, m_trayIcon,
            [this](const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon, int msecs) {
                m_trayIcon->showMessage(title, text, icon, msecs);
            });
    connect(&noticeQueue, &NoticeQueue::hide, m_trayIcon, [] {
        // Qt's own balloon, where the desktop shows no notifications of its own.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->inherits("QBalloonTip"))
                widget->hide();
        }
    });
    // Queued: the click arrives from inside the balloon's own mouse handler, and
    // showing the next notice at once would delete that balloon under it.
    connect(m_trayIcon, &QSystemTrayIcon::messageClicked, &noticeQueue, &NoticeQueue::dismissCurrent,
            Qt::QueuedConnection);
    DelayShow();
}

SystemTray::~SystemTray()
{
    delete m_trayIcon;
    delete m_menu;
}

QAction* SystemTray::addAction(const QString& text, void (SystemTray::*signal)())
{
    auto* action = new QAction(text, this);
    connect(action, &QAction::triggered, this, signal);
    m_menu->addAction(action);
    return action;
}

void SystemTray::createMenu()
{
    m_menu = new QMenu;
    ApplyMenuStyle(m_menu);

    connectAction = addAction(QStringLiteral("Подключиться к серверу"), &SystemTray::signalConnectRequest);
    connectSeparator = m_menu->addSeparator();
    settingsAction = addAction(QStringLiteral("Настройки"), &SystemTray::signalShowSettings);
    replacesAction = addAction(QStringLiteral("Автозамена"), &SystemTray::signalShowReplaces);
    m_menu->addSeparator();
    feedbackAction = addAction(QStringLiteral("Обратная связь"), &SystemTray::signalShowFeedback);
    kivaroAction = addAction(QStringLiteral("Мои слова"), &SystemTray::signalShowKivaro);
    kivaroAction->setVisible(ASRSettings().CanEditKivaroWords);

    const QString helpFile = AppVariables::sm_stdVars.get(QStringLiteral("HelpFile"), QString());
    if (QFileInfo::exists(helpFile)) {
        manualAction = new QAction(QStringLiteral("Руководство пользователя"), this);
        connect(manualAction, &QAction::triggered, this, [this, helpFile] { emit signalShowManual(helpFile); });
        m_menu->addAction(manualAction);
    }
    if (SelfTestSettings().Enabled)
        selfTestAction = addAction(QStringLiteral("Тесты"), &SystemTray::signalSelfTest);

    m_menu->addSeparator();
    quitAction = addAction(QStringLiteral("Выход"), &SystemTray::signalQuit);
}

void SystemTray::ApplyMenuStyle(QMenu* menu)
{
    QFile style(QStringLiteral(":/qss/menuStyle.qss"));
    if (style.open(QIODevice::ReadOnly))
        menu->setStyleSheet(QString::fromUtf8(style.readAll()));
    menu->setWindowFlags(menu->windowFlags() | Qt::NoDropShadowWindowHint);
}

void SystemTray::DelayShow()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_trayIcon->setVisible(true);
        // A hidden icon drops its messages: those of start-up wait for the tray host.
        openNoticesWhenPlaced(20);
        return;
    }
    qDebug() << "System tray Unavaliable, wait...";
    QTimer::singleShot(1000, this, &SystemTray::DelayShow);
}

void SystemTray::openNoticesWhenPlaced(int attemptsLeft)
{
    // Until it is embedded the icon sits at the screen's corner, and so would the balloon.
    if (m_trayIcon->geometry().topLeft().isNull() && attemptsLeft > 0) {
        QTimer::singleShot(100, this, [this, attemptsLeft] { openNoticesWhenPlaced(attemptsLeft - 1); });
        return;
    }
    noticeQueue.open();
}

void SystemTray::showMessage(QString title, QString msg, QSystemTrayIcon::MessageIcon icon)
{
    noticeQueue.post({title, msg, icon});
}

void SystemTray::showMessage(QString title, QString msg)
{
    showMessage(title, msg, QSystemTrayIcon::Information);
}

void SystemTray::showDefaultIcon()
{
    m_trayIcon->setIcon(QIcon(defaultIconPath));
}

void SystemTray::showWarningIcon()
{
    m_trayIcon->setIcon(QIcon(warningIconPath));
}

void SystemTray::hideTrayIcon()
{
    m_trayIcon->hide();
}

void SystemTray::setToolTip(QString toolTip)
{
    m_trayIcon->setToolTip(toolTip);
}

QString SystemTray::toolTip() const
{
    return m_trayIcon->toolTip();
}

void SystemTray::showError(QString& error)
{
    showMessage(QStringLiteral("Диктовка не включена"), error, QSystemTrayIcon::Warning);
}

void SystemTray::onRecognitionParametersChanged(bool canEditKivaro)
{
    kivaroAction->setVisible(canEditKivaro);
}

void SystemTray::onConnectionStateChanged(ConnectionStateInfo info)
{
    settingsAction->setEnabled(true);
    replacesAction->setEnabled(true);
    switch (info.state()) {
    case 0:
    case 1:
        connectAction->setVisible(true);
        connectSeparator->setVisible(true);
        connectAction->setEnabled(true);
        showWarningIcon();
        // After a failed round the tooltip keeps why, for a user who missed the balloon.
        setToolTip(QStringLiteral("%1\nОтключен от сервера\nБалансер %2").arg(appName(), info.balancerHost())
                   + (info.state() == 0 && !info.message().isEmpty() ? QLatin1Char('\n') + info.message() : QString()));
        if (info.state() == 0 && !connectionErrorShown) {
            showMessage(QString(), info.message(), QSystemTrayIcon::Critical);
            connectionErrorShown = true;
        }
        break;
    case 14:
        connectAction->setVisible(false);
        connectSeparator->setVisible(false);
        connectAction->setEnabled(false);
        showDefaultIcon();
        setToolTip(QStringLiteral("%1\nСервер %2\nБалансер %3").arg(appName(), info.serverHost(), info.balancerHost()));
        connectionErrorShown = false;
        break;
    default:
        connectAction->setEnabled(false);
        setToolTip(QStringLiteral("%1\nПодключается к %2\nБалансер %3").arg(appName(), info.serverHost(), info.balancerHost()));
        break;
    }
}
