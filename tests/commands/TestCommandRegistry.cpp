#include "ExecutableCommandsManager.h"
#include "ExecutableCommandsSource.h"
#include "SentFrames.h"
#include "TestHome.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QJsonArray>

namespace {
// A source that records what it was asked to do, in one log shared by all.
class RecordingSource : public ExecutableCommandsSource
{
public:
    RecordingSource(const QString& name, QStringList* log)
        : name(name)
        , log(log)
    {
    }

    void setCommands(const QList<QPair<QString, QString>>& idsAndPatterns)
    {
        clearCommands();
        for (const auto& pair : idsAndPatterns) {
            CommandInfo command;
            command.setId(pair.first);
            command.setPattern(pair.second);
            commands.append(command);
        }
        emit commandsChanged();
    }

    QString executeCommand(CommandInfo command) const override
    {
        log->append(name + QStringLiteral(" runs ") + command.id());
        return name + QStringLiteral(" output");
    }

    void onCommandsRefreshed() const override { log->append(name + QStringLiteral(" refreshed")); }

private:
    QString name;
    QStringList* log;
};

QStringList sentIds(const SentFrames& sent)
{
    QStringList ids;
    const QList<QJsonValue> lists = sent.dataOfType(ExecutableCommandsManager::MessageType);
    if (lists.isEmpty())
        return {QStringLiteral("<nothing sent>")};
    for (const QJsonValue& command : lists.last().toObject().value(QStringLiteral("Commands")).toArray())
        ids.append(command.toObject().value(QStringLiteral("Id")).toString());
    return ids;
}
} // namespace

class TestCommandRegistry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sendsAllSourcesInOrderThenNotifies();
    void firstSourceWinsAnId();
    void sourceChangeResendsWholeList();
};

void TestCommandRegistry::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
}

void TestCommandRegistry::sendsAllSourcesInOrderThenNotifies()
{
    WebSocketClient client;
    SentFrames sent(&client);
    QStringList log;
    RecordingSource first(QStringLiteral("first"), &log);
    RecordingSource second(QStringLiteral("second"), &log);
    first.setCommands({{"a", "альфа"}});
    second.setCommands({{"b", "бета"}, {"c", "гамма"}});

    ExecutableCommandsManager registry({&first, &second}, &client);
    QCOMPARE(sent.types(), QList<int>{11});
    QCOMPARE(sentIds(sent), (QStringList{"a", "b", "c"}));
    QCOMPARE(log, (QStringList{"first refreshed", "second refreshed"}));
}

void TestCommandRegistry::firstSourceWinsAnId()
{
    WebSocketClient client;
    QStringList log;
    RecordingSource first(QStringLiteral("first"), &log);
    RecordingSource second(QStringLiteral("second"), &log);
    first.setCommands({{"same", "x"}});
    second.setCommands({{"same", "y"}, {"own", "z"}});
    ExecutableCommandsManager registry({&first, &second}, &client);
    log.clear();

    QCOMPARE(registry.executeCommand(QStringLiteral("same")), QStringLiteral("first output"));
    QCOMPARE(registry.executeCommand(QStringLiteral("own")), QStringLiteral("second output"));
    QCOMPARE(registry.executeCommand(QStringLiteral("missing")), QString());
    QCOMPARE(log, (QStringList{"first runs same", "second runs own"}));
}

void TestCommandRegistry::sourceChangeResendsWholeList()
{
    WebSocketClient client;
    SentFrames sent(&client);
    QStringList log;
    RecordingSource first(QStringLiteral("first"), &log);
    RecordingSource second(QStringLiteral("second"), &log);
    ExecutableCommandsManager registry({&first, &second}, &client);
    QCOMPARE(sentIds(sent), QStringList());

    second.setCommands({{"b", "бета"}});
    first.setCommands({{"a", "альфа"}});
    QCOMPARE(sent.dataOfType(11).size(), 3);
    QCOMPARE(sentIds(sent), (QStringList{"a", "b"}));

    // On connect the complete current list goes out again.
    registry.refreshCommands();
    QCOMPARE(sentIds(sent), (QStringList{"a", "b"}));
}

QTEST_GUILESS_MAIN(TestCommandRegistry)
#include "TestCommandRegistry.moc"
