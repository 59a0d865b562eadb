#include "FileCopyCommandExecutor.h"
#include "ProcessCommandExecutor.h"
#include "UserCommandFixtures.h"

#include <QtTest>

namespace {
UserCommand command(UserCommandType type, const QString& text)
{
    return UserCommandFixtures::command(type, QString(), text);
}
} // namespace

class TestCommandExecutors : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void documentText_data();
    void documentText();
    void unreadableDocument();
    void programPathWithBlankIsOneProgram();
    void programThatCannotStart_data();
    void programThatCannotStart();

private:
    QString writeScript(const QString& name);

    QTemporaryDir work;
};

void TestCommandExecutors::initTestCase()
{
    QVERIFY(work.isValid());
}

QString TestCommandExecutors::writeScript(const QString& name)
{
    const QString path = work.filePath(name);
    return UserCommandFixtures::writeMarkerScript(path) ? path : QString();
}

void TestCommandExecutors::documentText_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    QTest::newRow("line ends become CR") << QByteArray("a\r\nb\nc") << QStringLiteral(" a\rb\rc");
    QTest::newRow("leading blank kept") << QByteArray(" a") << QStringLiteral(" a");
    QTest::newRow("leading line break") << QByteArray("\na") << QStringLiteral("\ra");
    QTest::newRow("leading no-break space") << QByteArray("\xc2\xa0" "a") << QStringLiteral("\u00a0a");
    QTest::newRow("cyrillic") << QByteArray("Жалоб нет") << QStringLiteral(" Жалоб нет");
    QTest::newRow("empty document") << QByteArray() << QString();
}

void TestCommandExecutors::documentText()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    const QString path = work.filePath(QStringLiteral("document.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const CommandResult result = FileCopyCommandExecutor().Execute(command(UserCommandNamespace::FileCopy, path));
    QCOMPARE(result.result(), expected);
    QCOMPARE(result.error(), QString());
}

void TestCommandExecutors::unreadableDocument()
{
    const CommandResult result =
        FileCopyCommandExecutor().Execute(command(UserCommandNamespace::FileCopy, work.filePath("missing.txt")));
    QCOMPARE(result.result(), QString());
    QCOMPARE(result.error(), QStringLiteral("Файла не существует"));
}

void TestCommandExecutors::programPathWithBlankIsOneProgram()
{
    // A program "run" taking "me.sh" as its argument must not be what starts.
    const QString split = writeScript(QStringLiteral("run"));
    const QString whole = writeScript(QStringLiteral("run me.sh"));
    const CommandResult result = ProcessCommandExecutor().Execute(command(UserCommandNamespace::Exe, whole));
    QCOMPARE(result.error(), QString());
    QCOMPARE(result.result(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(whole + ".started"), 10000);
    QVERIFY(!QFileInfo::exists(split + ".started"));
}

void TestCommandExecutors::programThatCannotStart_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("missing") << work.filePath(QStringLiteral("no such program"));
    QTest::newRow("not executable") << work.filePath(QStringLiteral("plain.txt"));
    QTest::newRow("empty") << QString();
}

void TestCommandExecutors::programThatCannotStart()
{
    QFETCH(QString, program);
    QFile plain(work.filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    const CommandResult result = ProcessCommandExecutor().Execute(command(UserCommandNamespace::Exe, program));
    QCOMPARE(result.result(), QString());
    QCOMPARE(result.error(), QStringLiteral("Не удалось запустить программу \"%1\"").arg(program));
}

QTEST_GUILESS_MAIN(TestCommandExecutors)
#include "TestCommandExecutors.moc"
