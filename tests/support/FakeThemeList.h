#pragma once

#include "FakeHttpServer.h"

#include <QJsonArray>
#include <QStringList>

#include <memory>

// The recognition server's REST theme list ("Theme") on 127.0.0.1, with the
// "AsrClient" settings pointed at it, so that AsrManager::get_Themes finds
// these themes.
class FakeThemeList
{
public:
    // Themes with these ids, named "<id> name".
    explicit FakeThemeList(const QStringList& themeIds);

    void offer(const QStringList& themeIds);
    // Theme records as the server sends them.
    void offerRecords(const QJsonArray& themes);
    // Every request fails with an HTTP error.
    void fail();
    // Requests wait unanswered until answerHeld, which gives them what is offered then.
    void hold();
    void answerHeld();
    int requestCount() const { return server.requestCount(); }

    ~FakeThemeList();

private:
    struct Reply;
    void setResponse(const FakeHttpResponse& response);

    std::shared_ptr<Reply> reply;
    FakeHttpServer server;
};
