#include "ClientInfoSettings.h"
#include "CookiesSource.h"
#include "TestHome.h"
#include "UserInfo.h"

#include <QtTest>

#include <QDir>
#include <QSemaphore>
#include <QSettings>
#include <QThread>

#include <atomic>

namespace {
QStringList names(const QList<QNetworkCookie>& cookies)
{
    QStringList result;
    for (const QNetworkCookie& cookie : cookies)
        result.append(QString::fromLatin1(cookie.name()));
    return result;
}

QByteArray valueOf(const QList<QNetworkCookie>& cookies, const QByteArray& name)
{
    for (const QNetworkCookie& cookie : cookies) {
        if (cookie.name() == name)
            return cookie.value();
    }
    return QByteArray("<absent>");
}

void writeProfile(const QString& file, const QString& group, const QVariantMap& values)
{
    QDir().mkpath(CookiesSource::profileFolder());
    QSettings settings(QDir(CookiesSource::profileFolder()).filePath(file), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(group);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.endGroup();
    settings.sync();
}

const QStringList identityNames{"CLIENT_APP_VERSION", "CLIENT_APP_NAME", "DESKTOP_ID", "ENVIRONMENT",
                                "ACCOUNT", "HOSTNAME", "USER_DOMAIN", "USER_NAME"};
const QStringList profileNames{"REGION_CODE", "ORG_FULL_NAME", "ORG_PSRN", "ORG_OID", "ROOM", "USER",
                               "USER_SPEC", "USER_IIAN", "TIMEZONE", "MIS_TYPE", "MIS_USER", "MIS_ID",
                               "MIS_VERSION"};
} // namespace

class TestCookiesSource : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void encoding_data();
    void encoding();
    void gecosFullName_data();
    void gecosFullName();
    void listWithoutProfile();
    void profileValuesAreReadAtEveryCall();
    void additionalCookiesStandBeforeProfile();
    void slowIdentityDoesNotHoldUpTheHandshake();
    void additionalCookiesUnderConcurrentUse();
};

void TestCookiesSource::initTestCase()
{
    TestHome::useApplicationIdentity();
    qputenv("USER", "dictator");
}

void TestCookiesSource::init()
{
    TestHome::wipe();
}

void TestCookiesSource::encoding_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("kept as is") << "1.2 (test)" << QByteArray("1.2 (test)");
    QTest::newRow("brackets and braces") << "a{b}[c]~_-" << QByteArray("a{b}[c]~_-");
    QTest::newRow("separators") << "a;b=c" << QByteArray("a%3Bb%3Dc");
    QTest::newRow("cyrillic") << QStringLiteral("Я") << QByteArray("%D0%AF");
    QTest::newRow("comma and quote") << "a,\"b\"" << QByteArray("a%2C%22b%22");
    QTest::newRow("empty") << "" << QByteArray("");
}

void TestCookiesSource::encoding()
{
    QFETCH(QString, value);
    QTEST(CookiesSource::encodeValue(value), "encoded");
}

void TestCookiesSource::gecosFullName_data()
{
    QTest::addColumn<QByteArray>("gecos");
    QTest::addColumn<QString>("fullName");
    QTest::newRow("name and fields") << QByteArray("Anna Petrova,Room 5,,+7") << "Anna Petrova";
    QTest::newRow("name only") << QByteArray("Anna Petrova") << "Anna Petrova";
    QTest::newRow("empty name") << QByteArray(",Room 5") << "";
    QTest::newRow("utf-8") << QStringLiteral("Иван Иванов,1").toUtf8() << QStringLiteral("Иван Иванов");
}

void TestCookiesSource::gecosFullName()
{
    QFETCH(QByteArray, gecos);
    QTEST(UserInfo::fullNameFromGecos(gecos), "fullName");
}

void TestCookiesSource::listWithoutProfile()
{
    CookiesSource source;
    const QList<QNetworkCookie> cookies = source.getCookies();
    QCOMPARE(names(cookies), identityNames + profileNames);

    QCOMPARE(valueOf(cookies, "CLIENT_APP_VERSION"), QByteArray("7.2.400"));
    QCOMPARE(valueOf(cookies, "CLIENT_APP_NAME"), QByteArray("Quillora Client (Linux Qt)"));
    QCOMPARE(valueOf(cookies, "ACCOUNT"), QByteArray("dictator"));
    QCOMPARE(valueOf(cookies, "HOSTNAME"), CookiesSource::encodeValue(UserInfo::instance()->hostName()));
    QCOMPARE(valueOf(cookies, "ENVIRONMENT"), CookiesSource::encodeValue(UserInfo::instance()->environment()));
    for (const char* name : {"REGION_CODE", "ORG_FULL_NAME", "ORG_PSRN", "ORG_OID", "ROOM", "USER", "USER_SPEC",
                             "USER_IIAN", "TIMEZONE", "MIS_TYPE", "MIS_ID", "MIS_VERSION"})
        QCOMPARE(valueOf(cookies, name), QByteArray());

    // A first run stores a new upper-case id, the same in both places.
    const QByteArray desktopId = valueOf(cookies, "DESKTOP_ID");
    QCOMPARE(desktopId.size(), 36);
    QCOMPARE(desktopId, desktopId.toUpper());
    QCOMPARE(valueOf(cookies, "MIS_USER"), desktopId);
    QCOMPARE(ClientInfoSettings().getOrCreateDesktopId().toLatin1(), desktopId);
}

void TestCookiesSource::profileValuesAreReadAtEveryCall()
{
    CookiesSource source;
    QCOMPARE(valueOf(source.getCookies(), "ORG_OID"), QByteArray());
    writeProfile(QStringLiteral("Organisation.ini"), QStringLiteral("Organisation"),
                 {{"RegionCode", 77}, {"OrganisationFullName", QStringLiteral("Больница №1")},
                  {"OrganisationPSRN", "1027700132195"}, {"OrganisationOid", "1.2.643"}, {"Room", "12; b"}});
    writeProfile(QStringLiteral("UserInfo.ini"), QStringLiteral("UserInfo"),
                 {{"UserName", "A B"}, {"Specialisation", "x"}, {"UserIian", "123"}});
    const QList<QNetworkCookie> cookies = source.getCookies();
    QCOMPARE(valueOf(cookies, "REGION_CODE"), QByteArray("77"));
    QCOMPARE(valueOf(cookies, "ORG_FULL_NAME"), CookiesSource::encodeValue(QStringLiteral("Больница №1")));
    QCOMPARE(valueOf(cookies, "ORG_PSRN"), QByteArray("1027700132195"));
    QCOMPARE(valueOf(cookies, "ORG_OID"), QByteArray("1.2.643"));
    QCOMPARE(valueOf(cookies, "ROOM"), QByteArray("12%3B b"));
    QCOMPARE(valueOf(cookies, "USER"), QByteArray("A B"));
    QCOMPARE(valueOf(cookies, "USER_SPEC"), QByteArray("x"));
    QCOMPARE(valueOf(cookies, "USER_IIAN"), QByteArray("123"));
}

void TestCookiesSource::additionalCookiesStandBeforeProfile()
{
    CookiesSource source;
    source.setAdditionalCookies({QNetworkCookie("MIS_TYPE", "web"), QNetworkCookie("MIS_USER", "u1")});
    const QStringList list = names(source.getCookies());
    QCOMPARE(list, identityNames + QStringList({"MIS_TYPE", "MIS_USER"}) + profileNames);
    source.setAdditionalCookies({});
    QCOMPARE(names(source.getCookies()), identityNames + profileNames);
}

void TestCookiesSource::slowIdentityDoesNotHoldUpTheHandshake()
{
    QSemaphore release;
    CookiesSource source(
        [&release]() -> const UserInfo* {
            release.acquire();
            return UserInfo::instance();
        },
        200);
    QElapsedTimer timer;
    timer.start();
    QList<QNetworkCookie> cookies;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("identity collection did not finish"));
    cookies = source.getCookies();
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(names(cookies), identityNames + profileNames);
    QCOMPARE(valueOf(cookies, "HOSTNAME"), QByteArray());

    release.release();
    QTRY_COMPARE(valueOf(source.getCookies(), "HOSTNAME"), CookiesSource::encodeValue(UserInfo::instance()->hostName()));
    QCOMPARE(valueOf(source.getCookies(), "CLIENT_APP_VERSION"), QByteArray("7.2.400"));
}

void TestCookiesSource::additionalCookiesUnderConcurrentUse()
{
    CookiesSource source;
    source.setAdditionalCookies({QNetworkCookie("MIS_TYPE", "0")});
    std::atomic<bool> stop{false};
    QThread* setter = QThread::create([&] {
        for (int round = 0; !stop.load(); ++round) {
            QList<QNetworkCookie> cookies;
            for (int i = 0; i <= round % 5; ++i)
                cookies.append(QNetworkCookie("MIS_TYPE", QByteArray::number(i)));
            source.setAdditionalCookies(cookies);
        }
    });
    setter->start();
    QList<int> counts;
    for (int i = 0; i < 200; ++i)
        counts.append(source.getCookies().size());
    stop = true;
    setter->wait();
    delete setter;
    for (int count : counts)
        QVERIFY2(count >= 22 && count <= 26, qPrintable(QString::number(count)));
}

QTEST_GUILESS_MAIN(TestCookiesSource)
#include "TestCookiesSource.moc"
