#include "CommonFileReader.h"
#include "CompositeFileReader.h"
#include "OpenFileReader.h"

#include <QtTest>

namespace {
const QString readError = QStringLiteral("Error While Reading the File");

QString wrapBody(const QString& body)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
               "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
               " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
               " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
               " xmlns:foo=\"urn:example:foo\">"
               "<office:body><office:text>")
        + body + QStringLiteral("</office:text></office:body></office:document-content>");
}
} // namespace

class TestDocumentReaders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openDocumentText_data();
    void openDocumentText();
    void suffixChoosesReader_data();
    void suffixChoosesReader();
    void archiveNameWithWildcards();
    void unreadableDocumentsAreErrors_data();
    void unreadableDocumentsAreErrors();
    void hangingUnzipIsKilled();
    void plainTextEncodings_data();
    void plainTextEncodings();
    void missingPlainFile();

private:
    QString makeOdt(const QString& name, const QByteArray& contentXml, bool withContent = true);
    QString writeFile(const QString& name, const QByteArray& bytes);
    QStringList leftoverTempFolders() const;

    QTemporaryDir work;
    QString tempLocation;
    QByteArray savedPath;
};

void TestDocumentReaders::initTestCase()
{
    QVERIFY(work.isValid());
    // The readers' temporary folders go here, so leftovers can be seen.
    tempLocation = work.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(tempLocation));
    qputenv("TMPDIR", tempLocation.toLocal8Bit());
    savedPath = qgetenv("PATH");
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty());
}

void TestDocumentReaders::init()
{
    qputenv("PATH", savedPath);
}

void TestDocumentReaders::cleanup()
{
    qputenv("PATH", savedPath);
    QCOMPARE(leftoverTempFolders(), QStringList());
}

QStringList TestDocumentReaders::leftoverTempFolders() const
{
    return QDir(tempLocation).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

QString TestDocumentReaders::writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = work.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

QString TestDocumentReaders::makeOdt(const QString& name, const QByteArray& contentXml, bool withContent)
{
    QTemporaryDir source;
    QFile mimetype(source.filePath(QStringLiteral("mimetype")));
    mimetype.open(QIODevice::WriteOnly);
    mimetype.write("application/vnd.oasis.opendocument.text");
    mimetype.close();
    QStringList members{QStringLiteral("mimetype")};
    if (withContent) {
        QFile content(source.filePath(QStringLiteral("content.xml")));
        content.open(QIODevice::WriteOnly);
        content.write(contentXml);
        members << QStringLiteral("content.xml");
    }
    const QString path = work.filePath(name);
    QFile::remove(path);
    QProcess zip;
    zip.setWorkingDirectory(source.path());
    zip.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q"), QStringLiteral("-X"), path} + members);
    if (!zip.waitForFinished(10000) || zip.exitCode() != 0)
        return QString();
    return path;
}

void TestDocumentReaders::openDocumentText_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected");

    QTest::newRow("paragraph and heading") << "<text:p>a</text:p><text:h text:outline-level=\"1\">b</text:h>"
                                           << "a\r\nb\r\n";
    QTest::newRow("tab") << "<text:p>x<text:tab/>y</text:p>" << "x\ty\r\n";
    QTest::newRow("line break") << "<text:p>x<text:line-break/>y</text:p>" << "x\r\ny\r\n";
    QTest::newRow("space element is one blank") << "<text:p>x<text:s text:c=\"3\"/>y</text:p>" << "x y\r\n";
    QTest::newRow("span text stays") << "<text:p>a<text:span>b</text:span>c</text:p>" << "abc\r\n";
    QTest::newRow("blank between spans stays")
        << "<text:p><text:span>раз</text:span> <text:span>два</text:span></text:p>" << "раз два\r\n";
    QTest::newRow("foreign element text dropped") << "<text:p>a<foo:note>hidden</foo:note>b</text:p>" << "ab\r\n";
    QTest::newRow("text nested in foreign element kept")
        << "<foo:frame>hidden<text:p>seen</text:p></foo:frame>" << "seen\r\n";
    QTest::newRow("table cells in order")
        << "<table:table><table:table-row><table:table-cell><text:p>1</text:p></table:table-cell>"
           "<table:table-cell><text:p>2</text:p></table:table-cell></table:table-row></table:table>"
        << "1\r\n2\r\n";
    QTest::newRow("cdata and comments skipped") << "<text:p>a<!-- c --><![CDATA[d]]>b</text:p>" << "ab\r\n";
    QTest::newRow("empty document") << "" << "";
}

void TestDocumentReaders::openDocumentText()
{
    QFETCH(QString, body);
    QFETCH(QString, expected);

    const QString path = makeOdt(QStringLiteral("doc.odt"), wrapBody(body).toUtf8());
    QVERIFY(!path.isEmpty());
    QString error;
    QCOMPARE(CompositeFileReader().ReadFile(path, &error), expected);
    QCOMPARE(error, QString());
}

void TestDocumentReaders::suffixChoosesReader_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("expectedError");

    // Plain text under an .odt name proves the office path was taken: it is no archive.
    QTest::newRow("odt") << "plain.odt" << "" << readError;
    QTest::newRow("ODT") << "plain.ODT" << "plain" << "";
    QTest::newRow("txt") << "plain.txt" << "plain" << "";
    QTest::newRow("no suffix") << "plain" << "plain" << "";
}

void TestDocumentReaders::suffixChoosesReader()
{
    QFETCH(QString, name);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedError);

    const QString path = writeFile(name, "plain");
    QString error;
    QCOMPARE(CompositeFileReader().ReadFile(path, &error), expectedText);
    QCOMPARE(error, expectedError);
}

void TestDocumentReaders::archiveNameWithWildcards()
{
    const QString path = makeOdt(QStringLiteral("отчёт [1] *.odt"), wrapBody("<text:p>ok</text:p>").toUtf8());
    QVERIFY(!path.isEmpty());
    QString error;
    QCOMPARE(OpenFileReader().ReadFile(path, &error), QStringLiteral("ok\r\n"));
    QCOMPARE(error, QString());
}

void TestDocumentReaders::unreadableDocumentsAreErrors_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("not an archive") << "garbage";
    QTest::newRow("archive without content") << "nocontent";
    QTest::newRow("truncated xml") << "truncated";
    QTest::newRow("empty content") << "empty";
}

void TestDocumentReaders::unreadableDocumentsAreErrors()
{
    QFETCH(QString, kind);

    QString path;
    if (kind == QLatin1String("missing"))
        path = work.filePath(QStringLiteral("missing.odt"));
    else if (kind == QLatin1String("garbage"))
        path = writeFile(QStringLiteral("garbage.odt"), QByteArray(500, '\x7f'));
    else if (kind == QLatin1String("nocontent"))
        path = makeOdt(QStringLiteral("nocontent.odt"), QByteArray(), false);
    else if (kind == QLatin1String("truncated"))
        path = makeOdt(QStringLiteral("truncated.odt"), wrapBody("<text:p>lost</text:p>").toUtf8().left(150));
    else
        path = makeOdt(QStringLiteral("empty.odt"), QByteArray());
    QVERIFY(!path.isEmpty());

    QString error;
    QCOMPARE(OpenFileReader().ReadFile(path, &error), QString());
    QCOMPARE(error, readError);
}

void TestDocumentReaders::hangingUnzipIsKilled()
{
    const QString path = makeOdt(QStringLiteral("doc.odt"), wrapBody("<text:p>x</text:p>").toUtf8());
    const QString bin = work.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    const QString fake = bin + QStringLiteral("/unzip");
    QFile script(fake);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexec /bin/sleep 60\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", bin.toLocal8Bit());

    OpenFileReader reader;
    reader.setUnzipTimeout(300);
    QElapsedTimer timer;
    timer.start();
    QString error;
    QCOMPARE(reader.ReadFile(path, &error), QString());
    QCOMPARE(error, readError);
    QVERIFY(timer.elapsed() < 10000);
}

void TestDocumentReaders::plainTextEncodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QString text = QStringLiteral("Жалоб нет.\nАД 120/80");
    QTest::newRow("utf-8") << text.toUtf8() << text;
    QTest::newRow("utf-8 with bom") << (QByteArray("\xef\xbb\xbf") + text.toUtf8()) << text;
    QByteArray utf16("\xff\xfe");
    for (const QChar c : text)
        utf16.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    QTest::newRow("utf-16 with bom") << utf16 << text;
}

void TestDocumentReaders::plainTextEncodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);

    QString error;
    QCOMPARE(CommonFileReader().ReadFile(writeFile(QStringLiteral("plain.txt"), bytes), &error), expected);
    QCOMPARE(error, QString());
}

void TestDocumentReaders::missingPlainFile()
{
    QString error;
    QCOMPARE(CompositeFileReader().ReadFile(work.filePath(QStringLiteral("none.txt")), &error), QString());
    QCOMPARE(error, QStringLiteral("Файла не существует"));
}

QTEST_GUILESS_MAIN(TestDocumentReaders)
#include "TestDocumentReaders.moc"
