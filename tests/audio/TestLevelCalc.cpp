#include "LevelCalc.h"

#include <QtTest>

class TestLevelCalc : public QObject
{
    Q_OBJECT

private slots:
    void level_data();
    void level();
};

void TestLevelCalc::level_data()
{
    QTest::addColumn<QVector<short>>("samples");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("clipped");

    QTest::newRow("385 sits on the noise threshold") << QVector<short>(3200, 385) << 0 << false;
    QTest::newRow("386") << QVector<short>(3200, 386) << 57 << false;
    QTest::newRow("1001") << QVector<short>(3200, 1001) << 66 << false;
    QTest::newRow("-32768 is full scale, not clipping") << QVector<short>(3200, -32768) << 100 << false;
    for (int peaks : {10, 11}) {
        QVector<short> samples(3200, 0);
        for (int i = 0; i < peaks; ++i)
            samples[i * 300] = 32767;
        QTest::addRow("%d peaks", peaks) << samples << (peaks > 10 ? 100 : 44) << (peaks > 10);
    }
    // The threshold scales with the count: small values over many samples are noise.
    QTest::newRow("long quiet buffer") << QVector<short>(100000, 12000) << 0 << false;
}

void TestLevelCalc::level()
{
    QFETCH(QVector<short>, samples);
    const LevelCalc::Result result = LevelCalc::GetSoundLevel(samples.constData(), samples.size());
    QTEST(result.level, "level");
    QTEST(result.clipped, "clipped");
}

QTEST_APPLESS_MAIN(TestLevelCalc)
#include "TestLevelCalc.moc"
