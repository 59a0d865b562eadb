#pragma once

#include "ComponentInformation.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Writes "Environment.txt": program version, architectures, system, memory and
// the mounted volumes, CR LF separated.
class EnvironmentInformation : public ComponentInformation
{
public:
    void CollectInformation(QString folder) override;
    // "; RAM: <MB> MB" from /proc/meminfo through awk; 0 when that fails.
    QString getRamInfo();

    struct Volume
    {
        QString name;
        QString type;
        qint64 available;
        qint64 total;
    };
    // Every mounted volume, pseudo file systems included, in the kernel's order.
    static QList<Volume> mountedVolumes();

    static const QString FileName;

private:
    static QByteArray unescapeMountField(const QByteArray& field);
};
