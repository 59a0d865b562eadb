#include "DataMessageProcessor.h"

#include <QtTest>


class TestDataMessageProcessor : public QObject
{
    Q_OBJECT

private slots:
    void dispatch_data();
    void dispatch();
    void binaryFrames();
    void throwingListenerDoesNotEscape();
};

namespace {
struct Spies
{
    explicit Spies(DataMessageProcessor* processor)
        : mode(processor, &DataMessageProcessor::modeChanged)
        , result(processor, &DataMessageProcessor::resultReceived)
        , notification(processor, &DataMessageProcessor::userNotified)
        , themes(processor, &DataMessageProcessor::themeChoicesReceived)
        , tts(processor, &DataMessageProcessor::ttsStateReceived)
        , denied(processor, &DataMessageProcessor::workDenied)
    {
    }

    QString fired() const
    {
        QStringList names;
        const std::pair<const char*, const QSignalSpy*> all[] = {
            {"mode", &mode}, {"result", &result}, {"notification", &notification},
            {"themes", &themes}, {"tts", &tts}, {"denied", &denied}};
        for (const auto& entry : all) {
            for (int i = 0; i < entry.second->count(); ++i)
                names.append(QLatin1String(entry.first));
        }
        return names.join(QLatin1Char(','));
    }

    QSignalSpy mode, result, notification, themes, tts, denied;
};
} // namespace

void TestDataMessageProcessor::dispatch_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("fired");
    QTest::addColumn<bool>("logged");
    QTest::newRow("mode") << R"({"MessageType":2,"Data":{"Mode":2,"State":1}})" << "mode" << false;
    QTest::newRow("result") << R"({"MessageType":3,"Data":{"Text":"abc","IsFinal":true}})" << "result" << false;
    QTest::newRow("notification without data") << R"({"MessageType":5})" << "notification" << false;
    QTest::newRow("themes") << R"({"MessageType":10,"Data":{"ThemeInfos":[]}})" << "themes" << false;
    QTest::newRow("tts state") << R"({"MessageType":22,"Data":{}})" << "tts" << false;
    QTest::newRow("work denied") << R"({"Data":{},"MessageType":26})" << "denied" << false;
    QTest::newRow("type as double") << R"({"MessageType":3.0,"Data":{}})" << "result" << false;
    QTest::newRow("data not an object") << R"({"MessageType":3,"Data":[1,2]})" << "result" << false;
    QTest::newRow("type as text") << R"({"MessageType":"3","Data":{}})" << "" << true;
    QTest::newRow("fractional type") << R"({"MessageType":3.5,"Data":{}})" << "" << true;
    QTest::newRow("negative type") << R"({"MessageType":-3,"Data":{}})" << "" << true;
    QTest::newRow("unknown type") << R"({"MessageType":4,"Data":{}})" << "" << true;
    QTest::newRow("type beyond 32 bits") << R"({"MessageType":4294967299,"Data":{}})" << "" << true;
    QTest::newRow("missing type") << R"({"Data":{"Text":"x"}})" << "" << true;
    QTest::newRow("not json") << "MessageType=3" << "" << true;
    QTest::newRow("array") << R"([{"MessageType":3}])" << "" << true;
    QTest::newRow("truncated") << R"({"MessageType":3,"Data":{"Text":"a)" << "" << true;
    QTest::newRow("empty") << "" << "" << true;
}

void TestDataMessageProcessor::dispatch()
{
    QFETCH(QString, frame);
    QFETCH(bool, logged);
    DataMessageProcessor processor;
    Spies spies(&processor);
    if (logged)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^DataMessageProcessor: dropped"));
    processor.onTextMessageReceived(frame);
    QTEST(spies.fired(), "fired");
}

void TestDataMessageProcessor::binaryFrames()
{
    DataMessageProcessor processor;
    QSignalSpy sound(&processor, &DataMessageProcessor::ttsSound);
    const QByteArray bytes("\x00\x01\xff\x7f", 4);
    processor.onBinaryMessageReceived(bytes);
    processor.onBinaryMessageReceived(QByteArray());
    QCOMPARE(sound.count(), 2);
    QCOMPARE(sound.at(0).at(0).toByteArray(), bytes);
    QCOMPARE(sound.at(1).at(0).toByteArray(), QByteArray());
}

void TestDataMessageProcessor::throwingListenerDoesNotEscape()
{
    DataMessageProcessor processor;
    connect(&processor, &DataMessageProcessor::resultReceived, this, [](const TextResult& result) {
        result.toJson();
    });
    QTest::ignoreMessage(QtWarningMsg, "DataMessageProcessor: error while handling a frame: Not implemented");
    processor.onTextMessageReceived(R"({"MessageType":3,"Data":{}})");
}

QTEST_GUILESS_MAIN(TestDataMessageProcessor)
#include "TestDataMessageProcessor.moc"
