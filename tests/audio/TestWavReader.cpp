#include "PlaybackDeviceManager.h"
#include "WavReader.h"

#include <QtEndian>
#include <QtTest>

namespace {
QByteArray le16(quint16 v)
{
    QByteArray b(2, Qt::Uninitialized);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, Qt::Uninitialized);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray chunk(const QByteArray& id, const QByteArray& body, qint64 declared = -1)
{
    const QByteArray pad = body.size() % 2 ? QByteArray(1, '\0') : QByteArray();
    return id + le32(static_cast<quint32>(declared >= 0 ? declared : body.size())) + body + pad;
}

QByteArray fmt(quint16 code, int channels, int rate, int bits)
{
    const int block = channels * bits / 8;
    return chunk("fmt ", le16(code) + le16(channels) + le32(rate) + le32(rate * block) + le16(block) + le16(bits));
}

QByteArray riff(const QByteArray& chunks)
{
    return "RIFF" + le32(4 + chunks.size()) + "WAVE" + chunks;
}

const QByteArray Pcm("\x01\x02\x03\x04\x05\x06", 6);
} // namespace

class TestWavReader : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void embeddedSoundsArePlayable();
};

void TestWavReader::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QByteArray>("data");

    const QByteArray mono = fmt(1, 1, 22050, 16);
    QTest::newRow("canonical") << riff(mono + chunk("data", Pcm)) << true << 22050 << Pcm;
    QTest::newRow("chunks before data") << riff(mono + chunk("LIST", "odd") + chunk("fact", "abcd") + chunk("data", Pcm))
                                        << true << 22050 << Pcm;
    QTest::newRow("cut-off data keeps whole frames") << riff(mono + "data" + le32(1000) + Pcm + "\x07") << true << 22050
                                                     << Pcm;
    QTest::newRow("shorter than a header") << QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16) << false << 0 << QByteArray();
    QTest::newRow("not RIFF") << QByteArray(64, 'x') << false << 0 << QByteArray();
    QTest::newRow("compressed") << riff(fmt(2, 1, 22050, 16) + chunk("data", Pcm)) << false << 0 << QByteArray();
    QTest::newRow("no data") << riff(mono) << false << 0 << QByteArray();
    QTest::newRow("huge declared chunk") << riff(chunk("JUNK", "ab", 0xFFFFFFF0u) + mono + chunk("data", Pcm)) << false
                                         << 0 << QByteArray();
}

void TestWavReader::read()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, ok);
    QFETCH(int, rate);
    QFETCH(QByteArray, data);
    const WavReader::Result result = WavReader::Read(file);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.error.isEmpty(), ok);
    if (!ok)
        return;
    QCOMPARE(result.format.sampleRate(), rate);
    QCOMPARE(result.data, data);
}

void TestWavReader::embeddedSoundsArePlayable()
{
    PlaybackDeviceManager playback(nullptr); // registers the library's resources
    for (const QString& name : {QStringLiteral(":/Assets/SpeechOn.wav"), QStringLiteral(":/Assets/SpeechOff.wav")}) {
        QFile file(name);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
        const WavReader::Result result = WavReader::Read(file.readAll());
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.format, playback.Format());
        QVERIFY(result.data.size() > 2000);
    }
}

QTEST_GUILESS_MAIN(TestWavReader)
#include "TestWavReader.moc"
