#pragma once

#include "FakeHttpServer.h"
#include "FakeRecognitionServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

// A fake balancer (which also serves the recognition server's REST calls)
// and one fake recognition server on 127.0.0.1, enough for a client to reach
// the ready state. The recognition server answers each mode request (type 1),
// and each form description (type 106, a request for that form's mode), by
// reporting the mode before it stopping and stopped, and the requested one
// starting and started. With dictation results on, it "recognises" every second
// of audio received while dictating: a partial result, then a final one.
class FakeServerSet : public QObject
{
    Q_OBJECT

public:
    // Port 0: chosen by the system.
    FakeServerSet(quint16 balancerPort = 0, quint16 recognitionPort = 0);
    ~FakeServerSet() override;

    bool isListening() const;
    quint16 balancerPort() const { return http.port(); }
    quint16 recognitionPort() const { return recognitionServer.port(); }
    FakeRecognitionServer* recognition() { return &recognitionServer; }
    int balancerRequests() const;
    // The recognition server's theme list; one general theme until set.
    void setThemes(const QJsonArray& themes);
    // The balancer hands out this port for the recognition server (a relay in
    // front of it); 0, the default, hands out the server's own.
    void offerRecognitionPort(quint16 port);

    // 16 kHz mono 16-bit audio: one second.
    static constexpr int BytesPerSecond = 32000;
    static QString partialPhrase() { return QStringLiteral("пациент жалоб"); }
    static QString finalPhrase() { return QStringLiteral("пациент жалоб не предъявляет точка"); }
    void setDictationResults(bool on) { dictationResults = on; }

    // Writes into the INI settings file at `path` what points a client at these
    // servers; with `skipThemeCheck` the client does not wait for a theme choice.
    // A complete profile goes beside it (writeCompleteProfile).
    void writeClientSettings(const QString& path, bool skipThemeCheck) const;
    // Organisation and user profile files in `folder`, complete, so that no
    // profile window covers the client's other windows at its start.
    static void writeCompleteProfile(const QString& folder);
    // The environment of a client process whose settings and data live under `home`.
    static QProcessEnvironment clientEnvironment(const QString& home);
    static QString clientSettingsFile(const QString& home);

private:
    FakeHttpResponse answer(const FakeHttpRequest& request);
    void onMessage(const FakeRecognitionServer::Message& message);
    void onAudio(const QByteArray& audio);

    FakeHttpServer http;
    FakeRecognitionServer recognitionServer;
    mutable QMutex mutex;
    int requests = 0;
    QJsonArray themeList{QJsonObject{{"Id", "general"}, {"Name", "Общая тема"}, {"Version", "1"}}};
    quint16 offeredPort = 0;
    int currentMode = -1;
    bool dictationResults = false;
    qint64 audioBytes = 0;
};
