#pragma once

#include <QList>
#include <QMetaMethod>
#include <QObject>
#include <QString>
#include <QStringList>

// Records the signals of one or more objects in the order they are emitted, as
// "prefix.name(arg,arg)" (no prefix: "name(arg)"); a string list argument reads "[a|b]".
// QSignalSpy keeps one list per signal and so loses the order between signals.
class SignalRecorder : public QObject
{
public:
    explicit SignalRecorder(QObject* sender = nullptr, const QString& prefix = QString());
    ~SignalRecorder() override;

    // Every signal of sender except destroyed and objectNameChanged.
    void watch(QObject* sender, const QString& prefix = QString());
    // The recorded entries; clears the record.
    QStringList take();

    int qt_metacall(QMetaObject::Call call, int id, void** args) override;

private:
    struct Watched
    {
        QString prefix;
        QMetaMethod signal;
    };
    QList<Watched> watched;
    QStringList entries;
};
