// The settings file as the program meets it at start: unreadable files are set
// aside, then every group reads every typed value, writes it back, and a fresh
// read must give the same values while keys of no group keep theirs.
// Setting aside reads the file in a fresh process of the program; starting it
// under ASan is what bounds this target to a few dozen inputs a second.
#include "FuzzEnvironment.h"

#include "ASRSettings.h"
#include "BalancerConnectionSettings.h"
#include "CachedServerSettings.h"
#include "ClientConnectionSettings.h"
#include "ClientInfoSettings.h"
#include "ConnectionManagerSettings.h"
#include "FeedbackSettings.h"
#include "FileDialogSettings.h"
#include "FormApiSettings.h"
#include "HotkeySettings.h"
#include "LaunchSettings.h"
#include "PlaybackDeviceSettings.h"
#include "RecordingDeviceSettings.h"
#include "SelfTestSettings.h"
#include "ServerStatusStorage.h"
#include "ServersConnectionSettings.h"
#include "SslSettings.h"
#include "StatisticsSettings.h"
#include "TTSSettings.h"
#include "TextWriterSettings.h"

#include <QFile>
#include <QSet>

#include <cmath>

using FuzzEnvironment::fail;

namespace {
QString show(const Setting<QString>& s) { return QString(s); }
QString show(const Setting<bool>& s) { return bool(s) ? QStringLiteral("true") : QStringLiteral("false"); }
QString show(const Setting<int>& s) { return QString::number(int(s)); }
QString show(const Setting<double>& s)
{
    const double v = s;
    return std::isnan(v) ? QStringLiteral("nan") : QString::number(v, 'g', 17);
}

// Reads each setting of a group into `values` and, when asked, writes it back as a settings page does.
template<typename Group, typename... Members>
void visit(QStringList* values, QSet<QString>* keys, bool writeBack, Members... members)
{
    Group group;
    auto one = [&](auto& setting) {
        const QString key = group.group() + QLatin1Char('/') + setting.getKey();
        keys->insert(key);
        values->append(key + QLatin1Char('=') + show(setting));
        if (writeBack)
            setting = decltype(setting.getDefault())(setting);
    };
    (one(group.*members), ...);
    group.sync();
}

void visitAll(QStringList* values, QSet<QString>* keys, bool writeBack)
{
    using B = BaseConnectionSettings;
    visit<ASRSettings>(values, keys, writeBack, &ASRSettings::SelectedTheme, &ASRSettings::SendingMode,
                       &ASRSettings::IsThemeAutoSelect, &ASRSettings::CapitalLetterAfterStart,
                       &ASRSettings::CanEditKivaroWords, &ASRSettings::UsePunctuation, &ASRSettings::PunctuationEnabled);
    visit<BalancerConnectionSettings>(values, keys, writeBack, &B::Ip, &B::Port, &B::RestPort, &B::UseTls);
    visit<ClientConnectionSettings>(values, keys, writeBack, &B::Ip, &B::Port, &B::RestPort, &B::UseTls);
    visit<FormApiSettings>(values, keys, writeBack, &B::Ip, &B::Port, &B::RestPort, &B::UseTls);
    visit<CachedServerSettings>(values, keys, writeBack, &CachedServerSettings::ServersList);
    visit<ClientInfoSettings>(values, keys, writeBack, &ClientInfoSettings::DesktopId, &ClientInfoSettings::UseProxy);
    visit<ConnectionManagerSettings>(values, keys, writeBack, &ConnectionManagerSettings::QuietConnectionEnabled);
    visit<FeedbackSettings>(values, keys, writeBack, &FeedbackSettings::FeedbackText, &FeedbackSettings::Id,
                            &FeedbackSettings::ThemeId, &FeedbackSettings::ThemeVersion, &FeedbackSettings::ThemeName,
                            &FeedbackSettings::Email, &FeedbackSettings::FullName, &FeedbackSettings::ConsentRequested);
    visit<FileDialogSettings>(values, keys, writeBack, &FileDialogSettings::LastFilePath);
    visit<HotkeySettings>(values, keys, writeBack, &HotkeySettings::UseHotkey, &HotkeySettings::HotKey,
                          &HotkeySettings::P2TKey);
    visit<LaunchSettings>(values, keys, writeBack, &LaunchSettings::VoiceActivationEnabled,
                          &LaunchSettings::VoiceDeactivationEnabled, &LaunchSettings::VoiceActivationEnabledBalancer,
                          &LaunchSettings::VoiceDeactivationEnabledBalancer, &LaunchSettings::VoiceActivationCommand,
                          &LaunchSettings::VoiceDeactivationCommand, &LaunchSettings::OutputToBackground,
                          &LaunchSettings::GlobalEnableVAC);
    visit<PlaybackDeviceSettings>(values, keys, writeBack, &PlaybackDeviceSettings::Name, &PlaybackDeviceSettings::Volume,
                                  &PlaybackDeviceSettings::TrackChanges);
    visit<RecordingDeviceSettings>(values, keys, writeBack, &RecordingDeviceSettings::Name,
                                   &RecordingDeviceSettings::Gain, &RecordingDeviceSettings::TrackChanges,
                                   &RecordingDeviceSettings::DataInterval, &RecordingDeviceSettings::BufferSize,
                                   &RecordingDeviceSettings::UseNotifyEvent, &RecordingDeviceSettings::UseMonitors);
    visit<SelfTestSettings>(values, keys, writeBack, &SelfTestSettings::Enabled, &SelfTestSettings::PingCount,
                            &SelfTestSettings::PingTimeout, &SelfTestSettings::StartTimeout,
                            &SelfTestSettings::StopTimeout, &SelfTestSettings::SoundPeriod);
    visit<ServersConnectionSettings>(values, keys, writeBack, &ServersConnectionSettings::ServersListRefreshMinTimeout,
                                     &ServersConnectionSettings::ServerStatusRefreshMinTimeout);
    visit<SslSettings>(values, keys, writeBack, &SslSettings::SslCertificateVerification);
    visit<StatisticsSettings>(values, keys, writeBack, &StatisticsSettings::FillOrganisationUserInfo);
    visit<TTSSettings>(values, keys, writeBack, &TTSSettings::Voice, &TTSSettings::IsTtsEnabled, &TTSSettings::Speed);
    visit<TextWriterSettings>(values, keys, writeBack, &TextWriterSettings::SymbolDelay, &TextWriterSettings::EnterDelay);

    // The readers that go beyond one key: the self-test's file array and the cached server list.
    for (const SelfTestFile& file : SelfTestSettings().get_Files())
        values->append(QStringLiteral("SelfTest/file=%1|%2|%3").arg(file.path).arg(file.tail).arg(file.results));
    ServerStatusStorage storage;
    values->append(QStringLiteral("cached servers=%1").arg(storage.cachedServerList().ServerList.size()));
}

// Keys that no group owns, with their text where they have one.
QStringList foreignValues(const QSet<QString>& owned)
{
    QStringList result;
    Settings all{QString()};
    for (const QString& key : all.allKeys()) {
        if (owned.contains(key) || key.startsWith(QLatin1String("SelfTest/Files")))
            continue;
        const QVariant value = all.value(key);
        if (value.userType() == QMetaType::QString || value.userType() == QMetaType::QStringList)
            result << key + QLatin1Char('=') + value.toStringList().join(QLatin1Char('\n'));
    }
    return result;
}

void compare(const QStringList& before, const QStringList& after, const QString& what)
{
    if (after == before)
        return;
    for (int i = 0; i < std::min(before.size(), after.size()); ++i) {
        if (before[i] != after[i])
            fail(what + QStringLiteral(": ") + before[i] + QStringLiteral(" -> ") + after[i]);
    }
    fail(what + QStringLiteral(": a different number of values"));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 64 * 1024)
        return -1;
    const QByteArray bytes(data, int(size));
    const QString path = FuzzEnvironment::writeFreshSettingsFile(bytes);

    const QString damaged = Settings::setAsideUnreadableFile();
    if (!damaged.isEmpty()) {
        if (QFile::exists(path) || FuzzEnvironment::readFile(damaged) != bytes)
            fail(QStringLiteral("the unreadable file was not kept whole as ") + damaged);
        QStringList values;
        QSet<QString> keys;
        visitAll(&values, &keys, false);
        QFile::remove(damaged);
        QFile::remove(path);
        return 0;
    }

    QStringList before;
    QSet<QString> keys;
    visitAll(&before, &keys, false);
    const QStringList foreign = foreignValues(keys);
    QStringList written;
    visitAll(&written, &keys, true);
    // (The first read may have created the desktop id.)
    QStringList after;
    visitAll(&after, &keys, false);
    compare(written, after, QStringLiteral("written back, read differently"));
    if (foreignValues(keys) != foreign)
        fail(QStringLiteral("a key of no group changed"));
    QFile::remove(path);
    return 0;
}
