// A Qt text field in a window of its own process: Qt reads key events on its
// GUI thread and answers pings. Its pace can be set as TextReceiverXlib's.
// Prints "WINDOW <id>" once shown, answers "text" on stdin with "TEXT <hex of UTF-8>".
//   TextReceiverQt [--key-cost-us N] [--pause-after N --pause-ms N]

#include "StdinLines.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QThread>

#include <cstdio>

namespace {
class PacedTextEdit : public QPlainTextEdit
{
public:
    long keyCostUs = 0;
    long pauseAfter = 0;
    long pauseMs = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (keyCostUs > 0)
            QThread::usleep(static_cast<unsigned long>(keyCostUs));
        // Shift+Return is a line break here too.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            insertPlainText(QStringLiteral("\n"));
        else
            QPlainTextEdit::keyPressEvent(event);
        if (++received == pauseAfter)
            QThread::msleep(static_cast<unsigned long>(pauseMs));
    }

private:
    long received = 0;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    PacedTextEdit edit;
    const QStringList args = app.arguments();
    auto value = [&args](const QString& name) {
        const int at = args.indexOf(name);
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toLong() : 0L;
    };
    edit.keyCostUs = value(QStringLiteral("--key-cost-us"));
    edit.pauseAfter = value(QStringLiteral("--pause-after"));
    edit.pauseMs = value(QStringLiteral("--pause-ms"));
    edit.setWindowTitle(QStringLiteral("text receiver"));
    edit.setGeometry(20, 20, 400, 200);
    edit.show();
    std::printf("WINDOW %llu\n", static_cast<unsigned long long>(edit.winId()));
    std::fflush(stdout);

    StdinLines commands([&edit](const QByteArray& line) {
        if (line == "text") {
            std::printf("TEXT %s\n", edit.toPlainText().toUtf8().toHex().constData());
            std::fflush(stdout);
        }
    });
    return app.exec();
}
