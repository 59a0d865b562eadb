#include "ChildProcess.h"
#include "FileModes.h"
#include "FileCopyCommandExecutor.h"
#include "OpenFileReader.h"
#include "ProcessCommandExecutor.h"
#include "TestHome.h"
#include "UserCommandFixtures.h"

#include <QtTest>

#include <sys/stat.h>

namespace {
const QString notADocument = OpenFileReader::FailureText(OpenFileReader::NotADocument);

QByteArray wrapBody(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
           " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
           " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" xmlns:foo=\"urn:example:foo\">"
           "<office:body><office:text>"
        + body + "</office:text></office:body></office:document-content>";
}

QByteArray nested(int depth, const QByteArray& inner)
{
    return QByteArray("<text:span>").repeated(depth) + inner + QByteArray("</text:span>").repeated(depth);
}

UserCommand command(UserCommandType type, const QString& text)
{
    return UserCommandFixtures::command(type, QString(), text);
}
} // namespace

// File commands read plain text or .odt documents (through unzip); program commands start a program.
class TestCommandExecutors : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(work.isValid());
        // The readers' temporary folders go here, so leftovers can be seen.
        QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("tmp"))));
        qputenv("TMPDIR", work.filePath(QStringLiteral("tmp")).toLocal8Bit());
        QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty());
    }
    void cleanup()
    {
        QCOMPARE(QDir(work.filePath(QStringLiteral("tmp"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }
    void documents_data();
    void documents();
    void unzipStandIns_data();
    void unzipStandIns();
    void programThatCannotStart_data();
    void programThatCannotStart();
    void programPathWithBlankIsOneProgram();
    void programMakesFilesAsTheUserWould();

private:
    QString writeFile(const QString& name, const QByteArray& bytes);
    // A null contentXml leaves content.xml out of the archive.
    QString makeOdt(const QString& name, const QByteArray& contentXml, const QString& password = QString());
    // Puts this script first on PATH as "unzip"; returns the PATH to restore.
    QByteArray installUnzip(const QByteArray& script);

    QTemporaryDir work;
};

QString TestCommandExecutors::writeFile(const QString& name, const QByteArray& bytes)
{
    return UserCommandFixtures::writeFile(work.filePath(name), bytes) ? work.filePath(name) : QString();
}

QString TestCommandExecutors::makeOdt(const QString& name, const QByteArray& contentXml, const QString& password)
{
    QTemporaryDir source;
    QStringList members{QStringLiteral("mimetype"), QStringLiteral("content.xml")};
    UserCommandFixtures::writeFile(source.filePath(members[0]), "application/vnd.oasis.opendocument.text");
    if (contentXml.isNull())
        members.removeLast();
    else
        UserCommandFixtures::writeFile(source.filePath(members[1]), contentXml);
    const QString path = work.filePath(name);
    QFile::remove(path);
    ChildProcess zip;
    zip.setWorkingDirectory(source.path());
    QStringList arguments{QStringLiteral("-q"), QStringLiteral("-X")};
    if (!password.isEmpty())
        arguments << QStringLiteral("-P") << password;
    zip.start(QStringLiteral("zip"), arguments + QStringList{path} + members);
    return zip.waitForFinished(TestHome::scaled(10000)) && zip.exitCode() == 0 ? path : QString();
}

void TestCommandExecutors::documents_data()
{
    QTest::addColumn<QString>("name");
    // "odt": an archive with this content.xml; "raw": the bytes as the file;
    // "missing": no file; "path": the content names the file.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("error");

    QTest::newRow("odt paragraph and heading")
        << "doc.odt" << "odt" << wrapBody("<text:p>a</text:p><text:h text:outline-level=\"1\">b</text:h>")
        << " a\rb\r" << "";
    QTest::newRow("odt tab, line break and space")
        << "doc.odt" << "odt" << wrapBody("<text:p>x<text:tab/>y<text:line-break/>z<text:s text:c=\"3\"/>w</text:p>")
        << " x\ty\rz w\r" << "";
    QTest::newRow("odt blank between spans")
        << "doc.odt" << "odt" << wrapBody("<text:p><text:span>раз</text:span> <text:span>два</text:span></text:p>")
        << " раз два\r" << "";
    QTest::newRow("odt foreign elements")
        << "doc.odt" << "odt"
        << wrapBody("<text:p>a<foo:note>hidden</foo:note>b</text:p><foo:frame>hidden<text:p>seen</text:p></foo:frame>")
        << " ab\rseen\r" << "";
    QTest::newRow("odt name with wildcards") << "отчёт [1] *.odt" << "odt" << wrapBody("<text:p>ok</text:p>") << " ok\r" << "";
    QTest::newRow("odt comments and deleted text left out")
        << "doc.odt" << "odt"
        << wrapBody("<text:tracked-changes><text:changed-region text:id=\"c1\"><text:deletion><text:p>удалено</text:p>"
                    "</text:deletion></text:changed-region></text:tracked-changes>"
                    "<text:p>a<office:annotation><text:p>замечание</text:p></office:annotation>b</text:p>")
        << " ab\r" << "";
    QTest::newRow("odt deep but sane") << "doc.odt" << "odt" << wrapBody("<text:p>" + nested(400, "x") + "</text:p>")
                                       << " x\r" << "";
    QTest::newRow("odt nested too deep") << "doc.odt" << "odt" << wrapBody(nested(300000, "x")) << ""
                                         << OpenFileReader::FailureText(OpenFileReader::TooDeep);
    QTest::newRow("odt text too long")
        << "doc.odt" << "odt"
        << wrapBody(("<text:p>" + QByteArray(1024, 'a') + "</text:p>").repeated(BaseFileReader::MaxTextLength / 1024 + 1))
        << "" << BaseFileReader::TextTooLong();
    QTest::newRow("odt one text node too long")
        << "doc.odt" << "odt" << wrapBody("<text:p>" + QByteArray(BaseFileReader::MaxTextLength + 1, 'a') + "</text:p>")
        << "" << BaseFileReader::TextTooLong();
    // Packs to a few kilobytes; unpacked it is over the limit with no text at all.
    QTest::newRow("odt packed bomb")
        << "doc.odt" << "odt" << wrapBody(QByteArray("<foo:x/>").repeated(OpenFileReader::DefaultMaxContentBytes / 8 + 1))
        << "" << OpenFileReader::FailureText(OpenFileReader::ContentTooLarge);
    QTest::newRow("odt encrypted") << "doc.odt" << "encrypted" << wrapBody("<text:p>тайна</text:p>") << ""
                                   << OpenFileReader::FailureText(OpenFileReader::Encrypted);
    QTest::newRow("odt without content.xml") << "doc.odt" << "odt" << QByteArray() << "" << notADocument;
    QTest::newRow("odt empty content.xml") << "doc.odt" << "odt" << QByteArray("") << "" << notADocument;
    QTest::newRow("odt missing") << "none.odt" << "missing" << QByteArray() << "" << "Файла не существует";
    QTest::newRow("odt not an archive") << "plain.odt" << "raw" << QByteArray("plain") << "" << notADocument;
    QTest::newRow("odt truncated xml") << "doc.odt" << "odt" << wrapBody("<text:p>lost</text:p>").left(150) << "" << notADocument;
    QTest::newRow("line ends become CR") << "a.txt" << "raw" << QByteArray("a\r\nb\nc") << " a\rb\rc" << "";
    QTest::newRow("utf-8 with bom") << "a.txt" << "raw" << QByteArray("\xef\xbb\xbf" "Жалоб") << " Жалоб" << "";
    QTest::newRow("utf-16 with bom") << "a.txt" << "raw" << QByteArray("\xff\xfe\x16\x04\x30\x04", 6) << " Жа" << "";
    QTest::newRow("text too long") << "a.txt" << "raw" << QByteArray(BaseFileReader::MaxTextLength + 1, 'a') << ""
                                   << BaseFileReader::TextTooLong();
    QTest::newRow("file too large") << "a.txt" << "raw" << QByteArray(4 * BaseFileReader::MaxTextLength + 4, '\n')
                                    << "" << BaseFileReader::TextTooLong();
    QTest::newRow("endless device") << "" << "path" << QByteArray("/dev/zero") << "" << "Не удалось открыть файл";
    QTest::newRow("missing") << "none.txt" << "missing" << QByteArray() << "" << "Файла не существует";
}

void TestCommandExecutors::documents()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);

    QString path = work.filePath(name);
    if (kind == QLatin1String("odt"))
        path = makeOdt(name, content);
    else if (kind == QLatin1String("encrypted"))
        path = makeOdt(name, content, QStringLiteral("secret"));
    else if (kind == QLatin1String("raw"))
        path = writeFile(name, content);
    else if (kind == QLatin1String("path"))
        path = QString::fromUtf8(content);
    QVERIFY(!path.isEmpty());

    const CommandResult result = FileCopyCommandExecutor().Execute(command(UserCommandNamespace::FileCopy, path));
    QTEST(result.result(), "expected");
    // The notice names the document, then gives the reader's reason.
    const QString reason = QTest::currentDataTag() == QByteArray("endless device") ? "zero" : name;
    QFETCH(QString, error);
    QCOMPARE(result.error(), error.isEmpty() ? QString()
                                             : QStringLiteral("Не удалось вставить документ «%1». %2").arg(reason, error));
}

QByteArray TestCommandExecutors::installUnzip(const QByteArray& script)
{
    const QString bin = work.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    writeFile(QStringLiteral("bin/unzip"), script);
    QFile::setPermissions(bin + QStringLiteral("/unzip"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.toLocal8Bit() + ':' + savedPath);
    return savedPath;
}

void TestCommandExecutors::unzipStandIns_data()
{
    QTest::addColumn<QByteArray>("unzip");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("failure");

    QTest::newRow("hanging unzip is killed") << QByteArray("#!/bin/sh\nexec /bin/sleep 60\n") << "" << 300
                                             << int(OpenFileReader::TimedOut);
    // Started from a terminal, unzip asks there for the password of an encrypted
    // document and waits; the script gives it a terminal as such a start would.
    QTest::newRow("encrypted document fails at once")
        << QByteArray("#!/bin/bash\nexec script -qec \"$(printf '%q ' /usr/bin/unzip \"$@\")\" /dev/null\n") << "secret"
        << 60000 << int(OpenFileReader::Encrypted);
    // About one encrypted archive in 256 passes unzip's check of the empty
    // password; the member then fails as damaged data.
    QTest::newRow("encrypted document that passes the password check")
        << QByteArray("#!/bin/sh\necho 'error: invalid compressed data to inflate content.xml' >&2\nexit 2\n")
        << "secret" << 60000 << int(OpenFileReader::Encrypted);
    QTest::newRow("same failure, plain document")
        << QByteArray("#!/bin/sh\necho 'error: invalid compressed data to inflate content.xml' >&2\nexit 2\n") << ""
        << 60000 << int(OpenFileReader::NotADocument);
    // Without the cap this would run to the time limit, taking memory all along.
    QTest::newRow("endless content stops at the cap")
        << QByteArray("#!/bin/sh\nprintf '<r>'\nexec yes x\n") << "" << 60000 << int(OpenFileReader::ContentTooLarge);
}

void TestCommandExecutors::unzipStandIns()
{
    QFETCH(QByteArray, unzip);
    QFETCH(QString, password);
    QFETCH(int, timeoutMs);
    QFETCH(int, failure);
    const QString path = makeOdt(QStringLiteral("doc.odt"), wrapBody("<text:p>x</text:p>"), password);
    QVERIFY(!path.isEmpty());
    const QByteArray savedPath = installUnzip(unzip);

    OpenFileReader reader;
    reader.setUnzipTimeout(timeoutMs);
    QString error;
    const QString text = reader.ReadFile(path, &error);
    qputenv("PATH", savedPath);
    QCOMPARE(text, QString());
    QCOMPARE(error, OpenFileReader::FailureText(OpenFileReader::Failure(failure)));
}

void TestCommandExecutors::programThatCannotStart_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("missing") << work.filePath(QStringLiteral("no such program"));
    QTest::newRow("not executable") << writeFile(QStringLiteral("plain.txt"), "text");
}

void TestCommandExecutors::programThatCannotStart()
{
    QFETCH(QString, program);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot start program"));
    const CommandResult result = ProcessCommandExecutor().Execute(command(UserCommandNamespace::Exe, program));
    QCOMPARE(result.result(), QString());
    QCOMPARE(result.error(), QStringLiteral("Не удалось запустить программу \"%1\"").arg(program));
}

void TestCommandExecutors::programPathWithBlankIsOneProgram()
{
    // A program "run" taking "me.sh" as its argument must not be what starts.
    const QString split = work.filePath(QStringLiteral("run"));
    const QString whole = work.filePath(QStringLiteral("run me.sh"));
    QVERIFY(UserCommandFixtures::writeMarkerScript(split));
    QVERIFY(UserCommandFixtures::writeMarkerScript(whole));
    const CommandResult result = ProcessCommandExecutor().Execute(command(UserCommandNamespace::Exe, whole));
    QCOMPARE(result.error(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(whole + ".started"), TestHome::scaled(10000));
    QVERIFY(!QFileInfo::exists(split + ".started"));
}

// The client's own files are private; a program started by voice is the
// user's and keeps the mask the user started the client with.
void TestCommandExecutors::programMakesFilesAsTheUserWould()
{
    const mode_t userMask = ::umask(022);
    FileModes::makePrivate();
    const QString script = work.filePath(QStringLiteral("report mask.sh"));
    QVERIFY(UserCommandFixtures::writeFile(script, "#!/bin/sh\numask > \"$0.mask\"\n")
            && QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const CommandResult result = ProcessCommandExecutor().Execute(command(UserCommandNamespace::Exe, script));
    const mode_t clientMask = ::umask(userMask);
    QCOMPARE(result.error(), QString());
    QCOMPARE(clientMask, mode_t(077));
    QFile mask(script + QStringLiteral(".mask"));
    QTRY_VERIFY_WITH_TIMEOUT(mask.size() > 0, TestHome::scaled(10000));
    QVERIFY(mask.open(QIODevice::ReadOnly));
    QCOMPARE(mask.readAll().trimmed(), QByteArray("0022"));
}

QTEST_GUILESS_MAIN(TestCommandExecutors)
#include "TestCommandExecutors.moc"
