#include "CookiesSource.h"

#include "AppVariables.h"
#include "ClientInfoSettings.h"
#include "ProfileFile.h"
#include "UserInfo.h"

#include <QMutexLocker>
#include <QStringList>
#include <QThread>
#include <QUrl>
#include <QtDebug>

#include <exception>
#include <iterator>

// What the collection thread has gathered so far; shared with that thread so
// that a source may go away while a slow lookup is still running.
struct CookiesSource::Collection
{
    explicit Collection(IdentityProvider identity)
        : identity(std::move(identity))
    {
    }

    void run();

    const IdentityProvider identity;
    QMutex mutex;
    bool done = false;
    QString version;
    QString appName;
    QString desktopId;
    QString account;
    QString environment;
    QString hostName;
    QString userDomain;
    QString userName;
};

void CookiesSource::Collection::run()
{
    {
        QMutexLocker lock(&mutex);
        if (done)
            return;
    }
    const QString newVersion = AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("Version"));
    const QString newAppName = AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("ClientAppName"));
    const QString newDesktopId = ClientInfoSettings().getOrCreateDesktopId();
    const QString login = AppVariables::sm_stdVars.get(QStringLiteral("env"), QStringLiteral("USER"));
    {
        QMutexLocker lock(&mutex);
        version = newVersion;
        appName = newAppName;
        desktopId = newDesktopId;
        account = login;
    }
    // The slow part: host, domain and password database look-ups.
    const UserInfo* user = identity();
    qInfo().noquote() << "Connection: user " + login;
    QMutexLocker lock(&mutex);
    if (user) {
        environment = user->environment();
        hostName = user->hostName();
        userDomain = user->userDomain();
        userName = user->userName();
    }
    done = true;
}

namespace {
QNetworkCookie cookie(const char* name, const QString& value)
{
    return QNetworkCookie(QByteArray(name), CookiesSource::encodeValue(value));
}
} // namespace

CookiesSource::CookiesSource()
    : CookiesSource(&UserInfo::instance, DefaultCollectionWaitMs)
{
}

CookiesSource::CookiesSource(IdentityProvider identity, int collectionWaitMs)
    : m_collection(std::make_shared<Collection>(std::move(identity)))
    , m_collectionWaitMs(collectionWaitMs)
{
    initializeCookiesAsync();
}

CookiesSource::~CookiesSource()
{
    if (!m_initThread->wait(m_collectionWaitMs)) {
        qWarning() << "CookiesSource: identity collection still running at destruction; left to finish on its own";
        QObject::connect(m_initThread, &QThread::finished, m_initThread, &QObject::deleteLater);
        return;
    }
    delete m_initThread;
}

void CookiesSource::initializeCookiesAsync()
{
    std::shared_ptr<Collection> collection = m_collection;
    m_initThread = QThread::create([collection] { collection->run(); });
    m_initThread->setObjectName(QStringLiteral("CookiesSource"));
    m_initThread->start(QThread::InheritPriority);
}

void CookiesSource::initializeCookies()
{
    m_collection->run();
}

QList<QNetworkCookie> CookiesSource::identityCookies()
{
    Collection& c = *m_collection;
    QMutexLocker lock(&c.mutex);
    return {
        cookie("CLIENT_APP_VERSION", c.version),
        cookie("CLIENT_APP_NAME", c.appName),
        cookie("DESKTOP_ID", c.desktopId),
        cookie("ENVIRONMENT", c.environment),
        cookie("ACCOUNT", c.account),
        cookie("HOSTNAME", c.hostName),
        cookie("USER_DOMAIN", c.userDomain),
        cookie("USER_NAME", c.userName),
    };
}

QList<QNetworkCookie> CookiesSource::getCookies()
{
    // A hanging name service must not hold up the handshake for ever: go on
    // with what has been collected, the rest comes with a later attempt.
    if (!m_initThread->wait(m_collectionWaitMs))
        qWarning() << "CookiesSource: identity collection did not finish within" << m_collectionWaitMs
                   << "ms; sending the cookies collected so far";

    QList<QNetworkCookie> result = identityCookies();
    {
        QMutexLocker lock(&m_additionalMutex);
        result.append(m_additionalCookies);
    }

    QStringList profile;
    try {
        const ProfileFile organisation(ProfileFile::organisationFile());
        const ProfileFile user(ProfileFile::userFile());
        profile << organisation.text(QStringLiteral("Organisation/RegionCode"))
                << organisation.text(QStringLiteral("Organisation/OrganisationFullName"))
                << organisation.text(QStringLiteral("Organisation/OrganisationPSRN"))
                << organisation.text(QStringLiteral("Organisation/OrganisationOid"))
                << organisation.text(QStringLiteral("Organisation/Room"))
                << user.text(QStringLiteral("UserInfo/UserName"))
                << user.text(QStringLiteral("UserInfo/Specialisation"))
                << user.text(QStringLiteral("UserInfo/UserIian"));
    } catch (const std::exception& e) {
        // A file damaged while the program runs (it is checked at start): connect without it.
        qWarning().noquote() << "CookiesSource: the profile files cannot be read, sent empty:" << e.what();
        profile.clear();
    }
    const char* const names[] = {"REGION_CODE", "ORG_FULL_NAME", "ORG_PSRN", "ORG_OID",
                                 "ROOM",        "USER",          "USER_SPEC", "USER_IIAN"};
    for (int i = 0; i < int(std::size(names)); ++i)
        result << cookie(names[i], profile.value(i));
    result << cookie("TIMEZONE", QString())
           << cookie("MIS_TYPE", QString())
           << cookie("MIS_USER", ClientInfoSettings().getOrCreateDesktopId())
           << cookie("MIS_ID", QString())
           << cookie("MIS_VERSION", QString());
    return result;
}

void CookiesSource::setAdditionalCookies(const QList<QNetworkCookie>& cookies)
{
    QMutexLocker lock(&m_additionalMutex);
    m_additionalCookies = cookies;
}

QByteArray CookiesSource::encodeValue(const QString& value)
{
    return QUrl::toPercentEncoding(value, QByteArrayLiteral("({[ ]})"), QByteArrayLiteral(";"));
}

