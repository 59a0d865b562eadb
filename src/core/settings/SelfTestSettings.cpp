#include "SelfTestSettings.h"

#include <QtDebug>

SelfTestSettings::SelfTestSettings()
    : Settings(QStringLiteral("SelfTest"))
    , Enabled(this, QStringLiteral("Enabled"), false)
    , PingCount(this, QStringLiteral("PingCount"), 10)
    , PingTimeout(this, QStringLiteral("PingTimeout"), 2000)
    , StartTimeout(this, QStringLiteral("StartTimeout"), 5000)
    , StopTimeout(this, QStringLiteral("StopTimeout"), 18000000)
    , SoundPeriod(this, QStringLiteral("SoundPeriod"), 200)
{
}

SelfTestSettings::~SelfTestSettings() = default;

QList<SelfTestFile> SelfTestSettings::get_Files()
{
    QList<SelfTestFile> files;
    const int declared = beginReadArray(QStringLiteral("Files"));
    // A mistyped size would otherwise hold the GUI thread for as long as it reads.
    const int count = qMin(declared, MaxFiles);
    if (declared > MaxFiles)
        qWarning() << "Self-test:" << declared << "files declared, only the first" << MaxFiles << "are used";
    for (int i = 0; i < count; ++i) {
        setArrayIndex(i);
        SelfTestFile file;
        file.path = QSettings::value(QStringLiteral("path"), QString()).toString();
        file.tail = QSettings::value(QStringLiteral("tail"), 2000).toInt();
        file.results = QSettings::value(QStringLiteral("results"), 0).toInt();
        files.append(file);
    }
    endArray();
    return files;
}
