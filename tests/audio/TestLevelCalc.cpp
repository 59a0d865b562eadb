#include "LevelCalc.h"

#include <QtTest>

#include <vector>

class TestLevelCalc : public QObject
{
    Q_OBJECT

private slots:
    void level_data();
    void level();
};

namespace {
std::vector<short> filled(int count, short value)
{
    return std::vector<short>(static_cast<size_t>(count), value);
}
} // namespace

void TestLevelCalc::level_data()
{
    QTest::addColumn<QVector<short>>("samples");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("clipped");

    const auto vec = [](const std::vector<short>& v) { return QVector<short>(v.begin(), v.end()); };
    QTest::newRow("empty") << QVector<short>() << 0 << false;
    QTest::newRow("silence at 1") << vec(filled(3200, 1)) << 0 << false;
    QTest::newRow("1001") << vec(filled(3200, 1001)) << 66 << false;
    QTest::newRow("385 sits on the threshold") << vec(filled(3200, 385)) << 0 << false;
    QTest::newRow("386") << vec(filled(3200, 386)) << 57 << false;
    QTest::newRow("-32768 is full scale, not clipping") << vec(filled(3200, -32768)) << 100 << false;

    std::vector<short> alternating(3200);
    for (size_t i = 0; i < alternating.size(); ++i)
        alternating[i] = i % 2 ? -32000 : 32000;
    QTest::newRow("alternating 32000") << vec(alternating) << 99 << false;

    for (int peaks : {10, 11}) {
        std::vector<short> samples = filled(3200, 0);
        for (int i = 0; i < peaks; ++i)
            samples[static_cast<size_t>(i * 300)] = 32767;
        QTest::addRow("%d peaks", peaks) << vec(samples) << (peaks > 10 ? 100 : 44) << (peaks > 10);
    }
    // The threshold scales with the count: small values over many samples are noise.
    QTest::newRow("long quiet buffer") << vec(filled(100000, 12000)) << 0 << false;
}

void TestLevelCalc::level()
{
    QFETCH(QVector<short>, samples);
    QFETCH(int, level);
    QFETCH(bool, clipped);
    const LevelCalc::Result result = LevelCalc::GetSoundLevel(samples.constData(), samples.size());
    QCOMPARE(result.level, level);
    QCOMPARE(result.clipped, clipped);
}

QTEST_APPLESS_MAIN(TestLevelCalc)
#include "TestLevelCalc.moc"
