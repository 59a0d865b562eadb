#include "FakeServerSet.h"

#include "BalancerReply.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSettings>
#include <QTcpServer>

namespace {
constexpr int ModeCommand = 1;
constexpr int FormMetadata = 106;
constexpr int TextMode = 2;
constexpr int TemplatedForm = 3;
constexpr int TemplatedWizardForm = 4;
constexpr int Starting = 0;
constexpr int Started = 1;
constexpr int Stopped = 2;
constexpr int Stopping = 3;
} // namespace

FakeServerSet::FakeServerSet(quint16 balancerPort, quint16 recognitionPort)
    : http(balancerPort)
{
    if (!recognitionServer.listen(recognitionPort))
        qWarning() << "FakeServerSet: the recognition server cannot listen on port" << recognitionPort;
    http.setHandler([this](const FakeHttpRequest& request) { return answer(request); });
    connect(&recognitionServer, &FakeRecognitionServer::messageReceived, this, &FakeServerSet::onMessage);
    connect(&recognitionServer, &FakeRecognitionServer::binaryMessageReceived, this, &FakeServerSet::onAudio);
}

FakeServerSet::~FakeServerSet() = default;

bool FakeServerSet::isListening() const
{
    return http.port() != 0 && recognitionServer.port() != 0;
}

int FakeServerSet::balancerRequests() const
{
    QMutexLocker locker(&mutex);
    return requests;
}

void FakeServerSet::setThemes(const QJsonArray& themes)
{
    QMutexLocker locker(&mutex);
    themeList = themes;
}

void FakeServerSet::offerRecognitionPort(quint16 port)
{
    QMutexLocker locker(&mutex);
    offeredPort = port;
}

FakeHttpResponse FakeServerSet::answer(const FakeHttpRequest& request)
{
    if (request.path().endsWith("/Servers")) {
        QMutexLocker locker(&mutex);
        ++requests;
        QJsonObject server = BalancerReply::server(QStringLiteral("fake-1"), 0.1);
        server.insert(QStringLiteral("ConnectionString"),
                      QStringLiteral("127.0.0.1;%1;%2")
                          .arg(offeredPort != 0 ? offeredPort : recognitionServer.port())
                          .arg(http.port()));
        return BalancerReply::list(QJsonArray{server});
    }
    if (request.path().endsWith("/Theme")) {
        QMutexLocker locker(&mutex);
        return FakeHttpResponse::json(QJsonDocument(QJsonObject{{"Error", QJsonValue()}, {"Data", themeList}}).toJson());
    }
    return FakeHttpResponse::json("{}", 404, "Not Found");
}

void FakeServerSet::onMessage(const FakeRecognitionServer::Message& message)
{
    if (!message.valid || (message.type != ModeCommand && message.type != FormMetadata))
        return;
    const QJsonObject data = message.data.toObject();
    const QJsonValue type = data.value(QStringLiteral("Type"));
    int mode = type.isDouble() ? type.toInt() : TextMode;
    // A form's description asks for dictation into it.
    if (message.type == FormMetadata)
        mode = data.value(QStringLiteral("Mode")).toInt() == 0 ? TemplatedForm : TemplatedWizardForm;
    if (currentMode >= 0 && currentMode != mode) {
        recognitionServer.sendModeChanged(currentMode, Stopping);
        recognitionServer.sendModeChanged(currentMode, Stopped);
    }
    currentMode = mode;
    audioBytes = 0;
    recognitionServer.sendModeChanged(mode, Starting);
    recognitionServer.sendModeChanged(mode, Started);
}

void FakeServerSet::onAudio(const QByteArray& audio)
{
    if (!dictationResults || currentMode != TextMode)
        return;
    for (audioBytes += audio.size(); audioBytes >= BytesPerSecond; audioBytes -= BytesPerSecond) {
        recognitionServer.sendResult(partialPhrase(), false);
        recognitionServer.sendResult(finalPhrase(), true);
    }
}

namespace {
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
} // namespace

void FakeServerSet::writeClientSettings(const QString& path, bool skipThemeCheck) const
{
    QDir().mkpath(QFileInfo(path).path());
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(QStringLiteral("BalancerConnection/Ip"), FakeHttpServer::host());
    settings.setValue(QStringLiteral("BalancerConnection/RestPort"), http.port());
    settings.setValue(QStringLiteral("BalancerConnection/UseTls"), false);
    // A proxy in the environment must not take the requests off the loopback.
    settings.setValue(QStringLiteral("ClientInfo/UseProxy"), false);
    // The local form servers on free ports of their own, beside a running client
    // of the same user (the settings pages refuse port 0).
    settings.setValue(QStringLiteral("FormApiServer/Port"), freePort());
    settings.setValue(QStringLiteral("FormApiServer/RestPort"), freePort());
    if (skipThemeCheck)
        settings.setValue(QStringLiteral("ASR/IsThemeAutoSelect"), true);
    settings.sync();
    writeCompleteProfile(QFileInfo(path).path());
}

void FakeServerSet::writeCompleteProfile(const QString& folder)
{
    QSettings organisation(folder + QStringLiteral("/Organisation.ini"), QSettings::IniFormat);
    organisation.setValue(QStringLiteral("Organisation/RegionCode"), 77);
    for (const char* key : {"RegionName", "AreaName", "OrganisationName", "OrganisationFullName"})
        organisation.setValue(QStringLiteral("Organisation/") + QLatin1String(key), QStringLiteral("Москва"));
    QSettings user(folder + QStringLiteral("/UserInfo.ini"), QSettings::IniFormat);
    user.setValue(QStringLiteral("UserInfo/UserName"), QStringLiteral("Иванова Анна"));
    user.setValue(QStringLiteral("UserInfo/Specialisation"), QStringLiteral("Терапевт"));
}

QProcessEnvironment FakeServerSet::clientEnvironment(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    return environment;
}

QString FakeServerSet::clientSettingsFile(const QString& home)
{
    return home + QStringLiteral("/config/Orvanta Labs/Scrivora/settings.ini");
}
