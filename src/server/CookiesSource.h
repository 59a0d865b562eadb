#pragma once

#include <QList>
#include <QMutex>
#include <QNetworkCookie>
#include <QString>

#include <functional>
#include <memory>

class QThread;
class UserInfo;

// The cookies of the opening handshake: the identity cookies (collected once,
// on a thread of their own), the additional cookies of the local form session,
// then the profile cookies (read afresh at every call).
class CookiesSource
{
public:
    using IdentityProvider = std::function<const UserInfo*()>;

    static constexpr int DefaultCollectionWaitMs = 3000;

    CookiesSource();
    // The host and user identity comes from `identity`; getCookies() waits at
    // most `collectionWaitMs` for the collection before going on without it.
    CookiesSource(IdentityProvider identity, int collectionWaitMs);
    ~CookiesSource();
    CookiesSource(const CookiesSource&) = delete;
    CookiesSource& operator=(const CookiesSource&) = delete;

    void initializeCookies();
    QList<QNetworkCookie> getCookies();
    // Called from the GUI thread while getCookies() may run in the link's thread.
    void setAdditionalCookies(const QList<QNetworkCookie>& cookies);

    static QByteArray encodeValue(const QString& value);

private:
    struct Collection;

    void initializeCookiesAsync();
    QList<QNetworkCookie> identityCookies();

    std::shared_ptr<Collection> m_collection;
    QList<QNetworkCookie> m_additionalCookies;
    QMutex m_additionalMutex;
    QThread* m_initThread = nullptr;
    int m_collectionWaitMs;
};
