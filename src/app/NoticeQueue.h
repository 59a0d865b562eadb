#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>

// The tray's balloons, one at a time (a new balloon replaces the one shown). A
// notice stays up for its display time unless a more important one comes, and
// then returns after it; the others wait their turn, the most important first.
// GUI thread.
class NoticeQueue : public QObject
{
    Q_OBJECT

public:
    struct Notice
    {
        QString title;
        QString text;
        QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::NoIcon;
    };

    explicit NoticeQueue(int displayTime, QObject* parent = nullptr);
    ~NoticeQueue() override;

    // A notice already shown or waiting is not queued twice.
    void post(const Notice& notice);
    // Until opened (the tray icon is not up yet) notices only wait.
    void open();
    // The user closed the balloon: the next one may come at once.
    void dismissCurrent();
    // The dictation monitor shows where a balloon near the tray may lie, and a
    // balloon over it would take the click meant for its stop button: while
    // dictation starts or runs the balloon up goes, and it and every notice
    // that comes meanwhile are shown once it stops, in their usual order.
    void setMonitorShown(bool shown);

    void setDisplayTime(int msecs) { displayTime = msecs; }
    int waitingCount() const { return waiting.size(); }

signals:
    void show(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon, int msecs);
    // The balloon shown is to go at once.
    void hide();

private:
    void display(const Notice& notice);
    void showNext();
    // After every notice at least as important: a notice never overtakes an equal one.
    void enqueue(const Notice& notice);
    // Before the notices of its own rank: it was shown before they came.
    void putBack(const Notice& notice);

    int displayTime;
    bool opened = false;
    bool monitorShown = false;
    // Taken down for the monitor, to be shown again after it.
    QList<Notice> setAside;
    std::optional<Notice> current;
    QList<Notice> waiting;
    QTimer timer;
};
