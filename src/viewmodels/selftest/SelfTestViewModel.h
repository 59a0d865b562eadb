#pragma once

#include <QObject>
#include <QString>

// The self-test window's model: the runner's counters for the view, and the
// view's buttons as signals to the runner. GUI thread.
class SelfTestViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool IsConnected READ get_IsConnected NOTIFY changed_IsConnected)
    Q_PROPERTY(bool IsStarted READ get_IsStarted NOTIFY changed_IsStarted)
    Q_PROPERTY(bool Loop READ get_Loop WRITE set_Loop NOTIFY changed_Loop)
    Q_PROPERTY(quint64 PingCount READ get_PingCount NOTIFY changed_PingCount)
    Q_PROPERTY(quint64 PongCount READ get_PongCount NOTIFY changed_PongCount)
    Q_PROPERTY(quint64 MinDelay READ get_MinDelay NOTIFY changed_MinDelay)
    Q_PROPERTY(quint64 MaxDelay READ get_MaxDelay NOTIFY changed_MaxDelay)
    Q_PROPERTY(double AvgDelay READ get_AvgDelay NOTIFY changed_AvgDelay)

public:
    explicit SelfTestViewModel(QObject* parent = nullptr);
    ~SelfTestViewModel() override;

    bool get_IsConnected() const { return isConnected; }
    bool get_IsStarted() const { return isStarted; }
    bool get_Loop() const { return loop; }
    quint64 get_PingCount() const { return pingCount; }
    quint64 get_PongCount() const { return pongCount; }
    quint64 get_MinDelay() const { return minDelay; }
    quint64 get_MaxDelay() const { return maxDelay; }
    double get_AvgDelay() const { return avgDelay; }

    // The runner's side; each announces a change only.
    void set_IsConnected(bool value);
    void set_IsStarted(bool value);
    void set_PingCount(quint64 value);
    void set_PongCount(quint64 value);
    void set_MinDelay(quint64 value);
    void set_MaxDelay(quint64 value);
    void set_AvgDelay(double value);

public slots:
    void set_Loop(bool value);

signals:
    void changed_IsConnected(bool isConnected);
    void changed_IsStarted(bool isStarted);
    void changed_Loop(bool loop);
    void changed_PingCount(quint64 count);
    void changed_PongCount(quint64 count);
    void changed_MinDelay(quint64 delay);
    void changed_MaxDelay(quint64 delay);
    void changed_AvgDelay(double delay);

    // From the view to the runner.
    void load();
    void close();
    void clear();
    void start();
    void stop();
    // From the runner to the view's log pane.
    void clearLog();
    void appendLog(QString text);

private:
    bool isConnected = false;
    bool isStarted = false;
    bool loop = false;
    quint64 pingCount = 0;
    quint64 pongCount = 0;
    quint64 minDelay = 0;
    quint64 maxDelay = 0;
    double avgDelay = 0;
};
