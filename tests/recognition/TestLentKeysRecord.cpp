#include "LentKeysRecord.h"
#include "TestHome.h"

#include <QtConcurrent>
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString Display = QStringLiteral(":7");

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString recordPath(const QString& suffix)
{
    return folder() + QStringLiteral("/lent-keys-_7-") + suffix;
}

// The most this process has had resident, in kB.
qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}
} // namespace

// The records of keys lent by copies that ended abruptly, read at every start
// from the user's runtime folder.
class TestLentKeysRecord : public QObject
{
    Q_OBJECT

private slots:
    void strangeEntriesNeitherHoldNorBloatTheStart_data();
    void strangeEntriesNeitherHoldNorBloatTheStart();
};

void TestLentKeysRecord::strangeEntriesNeitherHoldNorBloatTheStart_data()
{
    QTest::addColumn<QString>("planted");
    QTest::newRow("link to a FIFO") << "fifo link";
    QTest::newRow("link to /dev/zero") << "/dev/zero";
}

// A link to a FIFO held the GUI thread for good at start; one to /dev/zero cost 2.2 GB.
void TestLentKeysRecord::strangeEntriesNeitherHoldNorBloatTheStart()
{
    QFETCH(QString, planted);
    // Emptied, not removed: the runtime folder must stay private.
    QVERIFY(!folder().isEmpty());
    for (const QString& name : QDir(folder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        ::unlink(QFile::encodeName(folder() + QLatin1Char('/') + name).constData());
    const QString fifo = folder() + QStringLiteral("/elsewhere.fifo");
    const QString strange = recordPath(QStringLiteral("1-0"));
    if (planted == QLatin1String("fifo link")) {
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(QFile::link(fifo, strange));
    } else {
        QVERIFY(QFile::link(planted, strange));
    }
    // A record of a copy that has ended, beside it, is still taken.
    QFile ended(recordPath(QStringLiteral("2-0")));
    QVERIFY(ended.open(QIODevice::WriteOnly) && ended.write("999999999 1\n200 44f\n") > 0);
    ended.close();

    const qint64 peakBefore = peakResidentKb();
    QFuture<LentKeysRecord::Keys> taken = QtConcurrent::run([] { return LentKeysRecord::takeLeftByEndedCopies(Display); });
    if (!QTest::qWaitFor([&taken] { return taken.isFinished(); }, TestHome::scaled(1000))) {
        // Lets a reader held on the FIFO go, so that the test can end.
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        taken.waitForFinished();
        QFAIL("reading the records waits");
    }
    QVERIFY2(peakResidentKb() - peakBefore < 32 * 1024, qPrintable(QString::number(peakResidentKb() - peakBefore)));
    const LentKeysRecord::Keys keys = taken.result();
    QCOMPARE(keys.value(200), QVector<unsigned long>{0x44f});
    QVERIFY(!QFile::exists(ended.fileName()));
    // Not written by the client: left where it is.
    struct stat status;
    QCOMPARE(::lstat(QFile::encodeName(strange).constData(), &status), 0);
}

QTEST_GUILESS_MAIN(TestLentKeysRecord)
#include "TestLentKeysRecord.moc"
