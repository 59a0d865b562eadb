#pragma once

#include "ConnectionStateInfo.h"
#include "NoticeQueue.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

class QAction;
class QMenu;

// The tray icon with its menu; shows the connection state and the application's messages.
class SystemTray : public QObject
{
    Q_OBJECT

public:
    explicit SystemTray(QObject* parent = nullptr);
    ~SystemTray() override;

    Q_INVOKABLE virtual void showMessage(QString title, QString msg, QSystemTrayIcon::MessageIcon icon);
    Q_INVOKABLE void showMessage(QString title, QString msg);
    Q_INVOKABLE void showDefaultIcon();
    Q_INVOKABLE void showWarningIcon();
    Q_INVOKABLE void hideTrayIcon();
    Q_INVOKABLE void setToolTip(QString toolTip);

    static void ApplyMenuStyle(QMenu* menu);

    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    NoticeQueue* notices() { return &noticeQueue; }
    QMenu* menu() const { return m_menu; }
    QString toolTip() const;

signals:
    void signalShowReplaces();
    void signalShowSettings();
    void signalShowFeedback();
    void signalShowKivaro();
    void signalQuit();
    void signalConnectRequest();
    void signalSelfTest();
    void signalShowManual(QString localHelpFile);

public slots:
    void showError(QString& error);
    void onConnectionStateChanged(ConnectionStateInfo info);
    void onRecognitionParametersChanged(bool canEditKivaro);
    void DelayShow();

private:
    void createMenu();
    // Balloons point at the icon: the first waits until the tray host has placed it.
    void openNoticesWhenPlaced(int attemptsLeft);
    QAction* addAction(const QString& text, void (SystemTray::*signal)());

    const int messageDisplayTime = 4000;
    const QString styleSheetPath = QStringLiteral(":/qss/menuStyle.qss");
    const QString normalLogoPath = QStringLiteral(":/replaceable/normal_logo.png");
    const QString warningIconPath = QStringLiteral(":/replaceable/warning_icon.ico");
    const QString defaultIconPath = QStringLiteral(":/replaceable/default_icon.ico");
    QSystemTrayIcon* m_trayIcon = nullptr;
    QMenu* m_menu = nullptr;
    QAction* connectAction = nullptr;
    QAction* connectSeparator = nullptr;
    QAction* settingsAction = nullptr;
    QAction* replacesAction = nullptr;
    QAction* feedbackAction = nullptr;
    QAction* kivaroAction = nullptr;
    QAction* quitAction = nullptr;
    QAction* selfTestAction = nullptr;
    QAction* manualAction = nullptr;
    bool connectionErrorShown = false;
    NoticeQueue noticeQueue{messageDisplayTime};
};
