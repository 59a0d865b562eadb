#include "WavReader.h"

#include <QtEndian>
#include <QtTest>

namespace {
template<typename T>
QByteArray le(T v)
{
    QByteArray b(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray chunk(const QByteArray& id, const QByteArray& body, quint32 declared = 0)
{
    const QByteArray pad = body.size() % 2 ? QByteArray(1, '\0') : QByteArray();
    return id + le<quint32>(declared ? declared : static_cast<quint32>(body.size())) + body + pad;
}

QByteArray fmt(quint16 code)
{
    return chunk("fmt ", le<quint16>(code) + le<quint16>(1) + le<quint32>(22050) + le<quint32>(44100) + le<quint16>(2)
            + le<quint16>(16));
}

QByteArray riff(const QByteArray& chunks)
{
    return "RIFF" + le<quint32>(4 + chunks.size()) + "WAVE" + chunks;
}

const QByteArray Pcm("\x01\x02\x03\x04\x05\x06", 6);
} // namespace

class TestWavReader : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
};

void TestWavReader::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("ok"); // and then holds Pcm at 22050 Hz

    const QByteArray pcm = fmt(1);
    QTest::newRow("canonical") << riff(pcm + chunk("data", Pcm)) << true;
    QTest::newRow("odd chunks before data") << riff(pcm + chunk("LIST", "odd") + chunk("data", Pcm)) << true;
    QTest::newRow("cut-off data keeps whole frames") << riff(pcm + "data" + le<quint32>(1000) + Pcm + "\x07") << true;
    QTest::newRow("not RIFF") << QByteArray(64, 'x') << false;
    QTest::newRow("compressed") << riff(fmt(2) + chunk("data", Pcm)) << false;
    QTest::newRow("no data") << riff(pcm) << false;
    QTest::newRow("huge declared chunk") << riff(chunk("JUNK", "ab", 0xFFFFFFF0u) + pcm + chunk("data", Pcm)) << false;
}

void TestWavReader::read()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, ok);
    const WavReader::Result result = WavReader::Read(file);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.error.isEmpty(), ok);
    if (ok) {
        QCOMPARE(result.format.sampleRate(), 22050);
        QCOMPARE(result.data, Pcm);
    }
}

QTEST_APPLESS_MAIN(TestWavReader)
#include "TestWavReader.moc"
