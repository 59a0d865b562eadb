#include "ConnectionHelper.h"

#include <QtTest>

#include <stdexcept>

Q_DECLARE_METATYPE(QList<QNetworkProxy>)

namespace {
QNetworkProxy proxy(QNetworkProxy::ProxyType type, const QString& host = QString(), quint16 port = 0)
{
    return QNetworkProxy(type, host, port);
}
} // namespace

class TestConnectionHelper : public QObject
{
    Q_OBJECT

private slots:
    void selection_data();
    void selection();
    void asksForTheTargetUrl();
    void failingQueryGivesDirectConnection();
};

void TestConnectionHelper::selection_data()
{
    QTest::addColumn<QList<QNetworkProxy>>("offered");
    QTest::addColumn<int>("expectedType");
    QTest::addColumn<QString>("expectedHost");
    QTest::addColumn<QStringList>("logLines");

    QTest::newRow("nothing offered") << QList<QNetworkProxy>{} << int(QNetworkProxy::DefaultProxy) << ""
                                     << QStringList{"proxy length: 0"};
    QTest::newRow("no proxy entry") << QList<QNetworkProxy>{proxy(QNetworkProxy::NoProxy)}
                                    << int(QNetworkProxy::DefaultProxy) << ""
                                    << QStringList{"proxy length: 1", "rejected proxy:  0 2"};
    QTest::newRow("socks then http") << QList<QNetworkProxy>{proxy(QNetworkProxy::Socks5Proxy, "s", 1080),
                                                             proxy(QNetworkProxy::HttpProxy, "h", 3128)}
                                     << int(QNetworkProxy::HttpProxy) << "h"
                                     << QStringList{"proxy length: 2", "rejected proxy: s 1080 1", "selected proxy: h 3128 3"};
    QTest::newRow("two http") << QList<QNetworkProxy>{proxy(QNetworkProxy::HttpProxy, "a", 1),
                                                      proxy(QNetworkProxy::HttpCachingProxy, "b", 2)}
                              << int(QNetworkProxy::HttpProxy) << "a"
                              << QStringList{"proxy length: 2", "selected proxy: a 1 3", "avaliable proxy: b 2 4"};
    QTest::newRow("ftp only") << QList<QNetworkProxy>{proxy(QNetworkProxy::FtpCachingProxy, "f", 21)}
                              << int(QNetworkProxy::DefaultProxy) << ""
                              << QStringList{"proxy length: 1", "rejected proxy: f 21 5"};
}

void TestConnectionHelper::selection()
{
    QFETCH(QList<QNetworkProxy>, offered);
    QFETCH(QStringList, logLines);
    for (const QString& line : logLines)
        QTest::ignoreMessage(QtDebugMsg, line.toUtf8().constData());
    const QNetworkProxy chosen = ConnectionHelper::getProxy(
        QUrl(QStringLiteral("ws://127.0.0.1:34000/")), [&](const QNetworkProxyQuery&) { return offered; });
    QTEST(int(chosen.type()), "expectedType");
    QTEST(chosen.hostName(), "expectedHost");
}

void TestConnectionHelper::asksForTheTargetUrl()
{
    QNetworkProxyQuery asked;
    ConnectionHelper::getProxy(QUrl(QStringLiteral("wss://10.0.0.5:34000/")), [&](const QNetworkProxyQuery& query) {
        asked = query;
        return QList<QNetworkProxy>{};
    });
    QCOMPARE(asked.queryType(), QNetworkProxyQuery::UrlRequest);
    QCOMPARE(asked.url(), QUrl(QStringLiteral("wss://10.0.0.5:34000/")));
}

void TestConnectionHelper::failingQueryGivesDirectConnection()
{
    QTest::ignoreMessage(QtWarningMsg, "Get proxy error: broken configuration");
    const QNetworkProxy chosen = ConnectionHelper::getProxy(
        QUrl(QStringLiteral("ws://127.0.0.1:1/")),
        [](const QNetworkProxyQuery&) -> QList<QNetworkProxy> { throw std::runtime_error("broken configuration"); });
    QCOMPARE(chosen.type(), QNetworkProxy::DefaultProxy);
}

QTEST_GUILESS_MAIN(TestConnectionHelper)
#include "TestConnectionHelper.moc"
