#pragma once

#include <QString>
#include <QStringList>

class WebSocketClient;

// The user's word list: kept in a text file in the local data folder (one
// word per line) and sent to the server whenever it changes and on connect.
// Used from the GUI thread.
class LocalKivaroManager
{
public:
    static constexpr int MessageType = 27;

    explicit LocalKivaroManager(WebSocketClient* client);
    ~LocalKivaroManager();
    LocalKivaroManager(const LocalKivaroManager&) = delete;
    LocalKivaroManager& operator=(const LocalKivaroManager&) = delete;

    QStringList GetWords() const { return words; }
    // Stores and sends the list; false when it could not be written to disk
    // (it is still sent and kept in memory).
    bool UpdateWords(const QStringList& newWords);
    void SendKivaroInfo();

    void LoadCache();
    // Replaces the file atomically: a failed write leaves the old file intact.
    bool SaveCache();

    QString filePath() const { return file; }

private:
    WebSocketClient* client;
    QStringList words;
    QString folder;
    QString file;
};
