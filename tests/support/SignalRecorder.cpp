#include "SignalRecorder.h"

#include <QVariant>

SignalRecorder::SignalRecorder(QObject* sender, const QString& prefix)
{
    if (sender)
        watch(sender, prefix);
}

SignalRecorder::~SignalRecorder() = default;

void SignalRecorder::watch(QObject* sender, const QString& prefix)
{
    const QMetaObject* meta = sender->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal || method.name() == "destroyed"
            || method.name() == "objectNameChanged")
            continue;
        const int slot = QObject::staticMetaObject.methodCount() + watched.size();
        watched.append({prefix, method});
        QMetaObject::connect(sender, i, this, slot, Qt::DirectConnection);
    }
}

QStringList SignalRecorder::take()
{
    QStringList result;
    result.swap(entries);
    return result;
}

int SignalRecorder::qt_metacall(QMetaObject::Call call, int id, void** args)
{
    id = QObject::qt_metacall(call, id, args);
    if (id < 0 || call != QMetaObject::InvokeMetaMethod)
        return id;
    if (id < watched.size()) {
        const Watched& entry = watched.at(id);
        QStringList values;
        for (int i = 0; i < entry.signal.parameterCount(); ++i) {
            const int type = entry.signal.parameterType(i);
            const QVariant value(type, args[i + 1]);
            if (type == QMetaType::QStringList)
                values << QLatin1Char('[') + value.toStringList().join(QLatin1Char('|')) + QLatin1Char(']');
            else
                values << value.toString();
        }
        const QString name = QString::fromLatin1(entry.signal.name());
        entries << (entry.prefix.isEmpty() ? QString() : entry.prefix + QLatin1Char('.')) + name + QLatin1Char('(')
                + values.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    return -1;
}
