#include "TestDispatcherPlatform.h"
#include "diag/MessagePacket.h"
#include "diag/TCSObjectManager.h"
#include "diag/TDezaZudi.h"

#include <QHash>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QTest>

#include <stdexcept>

// A plain object for the method marks.
class TPlainThing
{
    Q_GADGET
};

class tst_TDezaZudi : public QObject
{
    Q_OBJECT

    std::shared_ptr<TestDispatcherPlatform> m_platform;

    std::unique_ptr<TCSObject> NewClient(const char *name = "CS")
    {
        auto client = std::make_unique<TCSObject>(nullptr);
        client->setObjectName(QString::fromLatin1(name));
        return client;
    }

    TMessagePacketFields Record(int index) const
    {
        const std::optional<TMessagePacketFields> fields =
            MessagePacket::Parse(m_platform->Records.value(index).Bytes);
        TMessagePacketFields missing;
        missing.Kind = -1; // no such record, or one that does not parse
        return fields.value_or(missing);
    }

private:
    using TOperation = std::function<void(TDezaZudi &)>;
    // The operation of each row, by its tag: functions are not QVariant values.
    QHash<QByteArray, TOperation> m_operations;

    void op(const char *tag, TOperation run, int kind, const QByteArray &text,
            const QByteArray &details = {}, const QByteArray &typeName = {})
    {
        m_operations.insert(tag, std::move(run));
        QTest::newRow(tag) << kind << text << details << typeName;
    }

private Q_SLOTS:
    void init()
    {
        m_platform = std::make_shared<TestDispatcherPlatform>();
        m_platform->RunningWindow = 1;
        ObjectManager()->SetPlatform(m_platform);
    }

    void sendOperations_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("text"); // a regular expression when it starts with "^"
        QTest::addColumn<QByteArray>("details");
        QTest::addColumn<QByteArray>("typeName");
        static const TPlainThing plain;
        const QByteArray exception =
            "^Exception %1 in module tst_TDezaZudi at [0-9A-F]{8}\\.\\r\\n";

        op(
            "named value", [](TDezaZudi &c) { c.SendNamedValue("TargetDir", "/srv/new data/"); }, 0,
            "TargetDir = '/srv/new data/'");
        op(
            "named value, double quote inserted as is",
            [](TDezaZudi &c) {
                c.SetQuoteChar('"');
                c.SendNamedValue("TargetDir", "/a\"b/");
            },
            0, "TargetDir = \"/a\"b/\"");
        op(
            "named value of a kind", [](TDezaZudi &c) { c.SendNamedValueOfKind(77, "N", "V"); }, 77,
            "N = 'V'");
        op(
            "named list",
            [](TDezaZudi &c) {
                c.SendNamedList("FileList", {"Messages.dat", "Folders.dat"});
            },
            6, "FileList", "Messages.dat\r\nFolders.dat\r\n", "TStringList");
        op(
            "empty list, empty details", [](TDezaZudi &c) { c.SendNamedList("FileList", {}); }, 6,
            "FileList", "", "TStringList");
        op(
            "list name cut to 255",
            [](TDezaZudi &c) { c.SendNamedList(QByteArray(300, 'n'), {"x"}); }, 6,
            QByteArray(255, 'n'), "x\r\n", "TStringList");
        op(
            "list of a kind",
            [](TDezaZudi &c) { c.SendListOfKind(7, "L", {"x"}, "QByteArrayList"); }, 7, "L",
            "x\r\n", "QByteArrayList");
        op(
            "text loses its final CR LF", [](TDezaZudi &c) { c.SendText(123, "hello\r\n"); }, 123,
            "hello");
        op(
            "any kind passes", [](TDezaZudi &c) { c.SendText(-5, "minus"); }, -5, "minus");
        op(
            "error text", [](TDezaZudi &c) { c.SendErrorText("bad"); }, 2, "bad");
        op(
            "formatted",
            [](TDezaZudi &c) {
                c.SendFormatted(3, "%d files in %s", {5, "/data"});
            },
            3, "5 files in /data");
        op(
            "format mismatch sends the exception as kind 2",
            [](TDezaZudi &c) { c.SendFormatted(3, "%d files", {"five"}); }, 2,
            QByteArray(exception).replace("%1", "EConvertError") +
                "Format directive \"%d\" does not fit its argument\\.$");
        op(
            "error formatted", [](TDezaZudi &c) { c.SendErrorFormatted("%s failed", {"copy"}); }, 2,
            "copy failed");
        op(
            "entry mark", [](TDezaZudi &c) { c.MarkEntry("Step"); }, 9, "Step");
        op(
            "entry mark of a component", [](TDezaZudi &c) { c.MarkEntryOf(&c, "FormActivate"); }, 9,
            "TCSObject( CS ).FormActivate");
        op(
            "entry mark of nothing", [](TDezaZudi &c) { c.MarkEntryOf(nullptr, "Step"); }, 9,
            "Step");
        op(
            "entry mark of a plain object",
            [](TDezaZudi &c) { c.MarkEntryOf(TCSObjectRef::Of(plain), "Step"); }, 9,
            "TPlainThing.Step");
        op(
            "formatted entry mark",
            [](TDezaZudi &c) {
                c.MarkEntryFmt("Copy", "%d of %d", {1, 2});
            },
            9, "Copy - 1 of 2");
        op(
            "exit mark", [](TDezaZudi &c) { c.MarkExit("Step"); }, 10, "Step");
        op(
            "exit mark of a component", [](TDezaZudi &c) { c.MarkExitOf(&c, "FormActivate"); }, 10,
            "TCSObject( CS ).FormActivate");
        op(
            "formatted exit mark", [](TDezaZudi &c) { c.MarkExitFmt("Copy", "%s", {"done"}); }, 10,
            "Copy - done");
        op(
            "object dump of nothing",
            [](TDezaZudi &c) { c.SendObject("Obj", static_cast<const QObject *>(nullptr)); }, 2,
            "Obj: Call to SendObject with nil object");
        op(
            "object dump without property information",
            [](TDezaZudi &c) { c.SendObject("Obj", TCSObjectRef(&plain, nullptr)); }, 2,
            "Obj: Object has no RTTI");
        op(
            "last exception",
            [](TDezaZudi &c) {
                try {
                    throw std::runtime_error("disk full");
                } catch (...) {
                    c.SendLastException();
                }
            },
            2, QByteArray(exception).replace("%1", "std::runtime_error") + "disk full\\.$");
    }

    void sendOperations()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, details);
        QFETCH(QByteArray, typeName);

        auto client = NewClient();
        m_operations.value(QTest::currentDataTag())(*client);
        // The registration, then the message.
        QCOMPARE(m_platform->Kinds(), (QList<qint32>{41, kind}));
        const TMessagePacketFields sent = Record(1);
        if (text.startsWith('^'))
            QVERIFY2(QRegularExpression(QString::fromUtf8(text))
                         .match(QString::fromUtf8(sent.Text))
                         .hasMatch(),
                     sent.Text.constData());
        else
            QCOMPARE(sent.Text, text);
        QCOMPARE(sent.Details, details);
        QCOMPARE(sent.TypeName, typeName);
        QVERIFY(client->Enabled());
    }

    void disabledClientDoesNothing_data() { sendOperations_data(); }

    void disabledClientDoesNothing()
    {
        auto client = NewClient();
        bool hookCalled = false;
        client->SetOnSendMsg(
            [&](TDezaZudi *, const TDezaZudiMsgData &, bool &) { hookCalled = true; });
        client->SetEnabled(false);
        m_operations.value(QTest::currentDataTag())(*client);
        client.reset();
        // No lookup, no settings read, no start, no record, no hook.
        QCOMPARE(m_platform->Calls, QByteArrayList());
        QVERIFY(!hookCalled);
    }

    void sequences_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("startSucceeds");
        QTest::addColumn<QByteArray>("command"); // the settings value; null: missing
        QTest::addColumn<bool>("refuseRegistration");
        QTest::addColumn<bool>("restartBetween");
        QTest::addColumn<int>("messages");
        QTest::addColumn<QByteArrayList>("calls");
        QTest::addColumn<QList<int>>("kinds");
        QTest::addColumn<bool>("enabled");

        const QByteArray start = "start:RAVivavovova.exe";
        QTest::newRow("first message, dispatcher running")
            << true << false << QByteArray() << false << false << 1
            << QByteArrayList{"find", "guid", "find", "send", "send"} << QList<int>{41, 0} << true;
        QTest::newRow("later messages: one lookup and one record each")
            << true << false << QByteArray() << false << false << 3
            << QByteArrayList{"find", "guid", "find", "send", "send",
                              "find", "send", "find", "send"}
            << QList<int>{41, 0, 0, 0} << true;
        QTest::newRow("dispatcher restarted: registered again")
            << true << false << QByteArray() << false << true << 2
            << QByteArrayList{"find", "guid", "find", "send", "send",
                              "find", "find", "send", "send"}
            << QList<int>{41, 0, 41, 0} << true;
        QTest::newRow("not running, start fails twice, client off")
            << false << false << QByteArray() << false << false << 3
            << QByteArrayList{"find", "read:DispatcherPath", start, "guid",
                              "find", "read:DispatcherPath", start}
            << QList<int>{} << false;
        QTest::newRow("not running, started from the settings command")
            << false << true << QByteArray("/opt/dz/dispatcher --quiet") << false << false << 1
            << QByteArrayList{"find",
                              "read:DispatcherPath",
                              "start:/opt/dz/dispatcher --quiet",
                              "wait",
                              "threads",
                              "close",
                              "guid",
                              "find",
                              "send",
                              "send"}
            << QList<int>{41, 0} << true;
        QTest::newRow("empty settings value: the default command")
            << false << true << QByteArray("") << false << false << 1
            << QByteArrayList{"find",    "read:DispatcherPath",
                              start,     "wait",
                              "threads", "close",
                              "guid",    "find",
                              "send",    "send"}
            << QList<int>{41, 0} << true;
        QTest::newRow("registration refused: message still handed over, then off")
            << true << false << QByteArray() << true << false << 2
            << QByteArrayList{"find", "guid", "find", "send", "send"} << QList<int>{41, 0} << false;
    }

    void sequences()
    {
        QFETCH(bool, running);
        QFETCH(bool, startSucceeds);
        QFETCH(QByteArray, command);
        QFETCH(bool, refuseRegistration);
        QFETCH(bool, restartBetween);
        QFETCH(int, messages);
        QFETCH(QByteArrayList, calls);
        QFETCH(QList<int>, kinds);
        QFETCH(bool, enabled);

        m_platform->RunningWindow = running ? 1 : 0;
        m_platform->StartSucceeds = startSucceeds;
        m_platform->WindowAfterStart = 5;
        if (!command.isNull())
            m_platform->MachineValues.insert("DispatcherPath", command);
        if (refuseRegistration)
            m_platform->Answer = [](qint32 kind) { return kind == 41 ? 0 : 1; };
        auto client = NewClient();
        for (int i = 0; i < messages; ++i) {
            if (restartBetween && i > 0)
                m_platform->RunningWindow = 2;
            client->SendNamedValue("SourceDir", "/data/");
        }
        QCOMPARE(m_platform->Calls, calls);
        QList<int> sent;
        for (qint32 kind : m_platform->Kinds())
            sent.append(kind);
        QCOMPARE(sent, kinds);
        QCOMPARE(client->Enabled(), enabled);
        // Every record of the connection carries one identifier.
        for (int i = 0; i < m_platform->Records.size(); ++i)
            QCOMPARE(Record(i).ConnectionId, QByteArray("{00000000-0000-0000-0000-000000000001}"));
    }

    void startedProgramWithoutWindowSwitchesOff()
    {
        m_platform->RunningWindow = 0;
        m_platform->StartSucceeds = true;
        m_platform->WindowAfterStart = 0;
        auto client = NewClient();
        client->SendText(0, "x");
        QCOMPARE(m_platform->Count("start"), 2);
        QCOMPARE(m_platform->Count("close"), 2);
        QVERIFY(m_platform->Records.isEmpty());
        QVERIFY(!client->Enabled());
        m_platform->Calls.clear();
        client->SendText(0, "y");
        QCOMPARE(m_platform->Calls, QByteArrayList());
    }

    void ordinaryMessageAnsweredZeroChangesNothing()
    {
        m_platform->Answer = [](qint32 kind) { return kind == 41 ? 1 : 0; };
        auto client = NewClient();
        client->SendText(0, "a");
        client->SendText(0, "b");
        QCOMPARE(m_platform->Kinds(), (QList<qint32>{41, 0, 0}));
        QVERIFY(client->Enabled());
        QCOMPARE(client->DeliverMessage(0, "c", {}, {}), 0);
    }

    void silentDispatcherIsGivenUp_data()
    {
        QTest::addColumn<int>("answered");     // records answered before the silence
        QTest::addColumn<QList<int>>("kinds"); // records handed over in the whole run
        QTest::newRow("silent from the registration") << 0 << QList<int>{41};
        QTest::newRow("silent after the registration") << 1 << QList<int>{41, 0};
        QTest::newRow("silent after one message") << 2 << QList<int>{41, 0, 0};
    }

    void silentDispatcherIsGivenUp()
    {
        QFETCH(int, answered);
        QFETCH(QList<int>, kinds);
        m_platform->AnswersBeforeSilence = answered;
        auto client = NewClient();
        for (int i = 0; i < 3; ++i)
            client->SendText(0, "x");
        QVERIFY(!client->Enabled());
        // Neither a new registration nor the unregistration at exit is tried.
        client->SetDestinationDetails("Elsewhere");
        client.reset();
        QCOMPARE(m_platform->Kinds(), kinds);
        // Not even a lookup after the exchange that timed out.
        const QByteArrayList calls = m_platform->Calls;
        QVERIFY(!calls.mid(calls.lastIndexOf("send")).contains("find"));
    }

    void answerIsGivenBack()
    {
        m_platform->Answer = [](qint32) { return Q_INT64_C(0x100000000); };
        auto client = NewClient();
        // The upper half of the answer must not turn acceptance into 0.
        QVERIFY(client->DeliverMessage(0, "a", {}, {}) != 0);
        QVERIFY(client->Enabled());
    }

    void registrationRecords()
    {
        auto client = NewClient();
        client->SetCategory("Copy");
        client->SetCategoryColor(TColor{0x00FF00});
        client->SendText(0, "first");
        client->SendText(0, "second");
        QCOMPARE(m_platform->Records.size(), 3);
        const QByteArray first = m_platform->Records.at(0).Bytes;
        // The first registration carries no computer and no program name.
        QCOMPARE(first.at(74), '\0');
        QCOMPARE(first.at(90), '\0');
        QCOMPARE(Record(0).Text, QByteArray("Viewer"));
        for (int i = 1; i < 3; ++i) {
            const TMessagePacketFields fields = Record(i);
            QCOMPARE(fields.ComputerName, QByteArray("QUILLHOST"));
            QCOMPARE(fields.AppName, QByteArray("Flitto"));
        }
        for (int i = 0; i < 3; ++i) {
            const TMessagePacketFields fields = Record(i);
            QCOMPARE(fields.ConnectionId.size(), 38);
            QCOMPARE(fields.ConnectionId, Record(0).ConnectionId);
            QCOMPARE(fields.Time, 65045123);
            QCOMPARE(fields.Date, 739958);
            QCOMPARE(fields.TimeZoneBias, -60);
            QCOMPARE(fields.ProcessId, 4711u);
            QCOMPARE(fields.ThreadId, 4712u);
            QCOMPARE(fields.Category, QByteArray("Copy"));
            QCOMPARE(fields.CategoryColor, 0x00FF00);
        }
    }

    void destruction_data()
    {
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<bool>("runningAtEnd");
        QTest::addColumn<QByteArrayList>("calls"); // at destruction
        QTest::addColumn<QList<int>>("kinds");     // at destruction

        QTest::newRow("connected: unregistration is the last record")
            << true << true << QByteArrayList{"find", "send"} << QList<int>{42};
        QTest::newRow("connected, dispatcher gone: never started for it")
            << true << false << QByteArrayList{"find"} << QList<int>{};
        QTest::newRow("never delivered: nothing at all")
            << false << true << QByteArrayList{} << QList<int>{};
    }

    void destruction()
    {
        QFETCH(bool, delivered);
        QFETCH(bool, runningAtEnd);
        QFETCH(QByteArrayList, calls);
        QFETCH(QList<int>, kinds);

        auto client = NewClient();
        if (delivered)
            client->SendText(0, "x");
        const QByteArray id = client->ConnectionId();
        const qsizetype before = m_platform->Records.size();
        m_platform->Calls.clear();
        m_platform->RunningWindow = runningAtEnd ? 1 : 0;
        client.reset();
        QCOMPARE(m_platform->Calls, calls);
        QList<int> sent;
        for (qsizetype i = before; i < m_platform->Records.size(); ++i) {
            sent.append(m_platform->Records.at(i).Kind);
            QCOMPARE(Record(static_cast<int>(i)).ConnectionId, id);
            QCOMPARE(Record(static_cast<int>(i)).Text, QByteArray());
        }
        QCOMPARE(sent, kinds);
    }

    void destinationDetails_data()
    {
        QTest::addColumn<QByteArrayList>("destinations");
        QTest::addColumn<QList<int>>("kinds");
        QTest::addColumn<QByteArrayList>("texts");
        QTest::addColumn<int>("connections"); // distinct identifiers

        QTest::newRow("set on a new client registers at once")
            << QByteArrayList{"Console"} << QList<int>{41} << QByteArrayList{"Console"} << 1;
        QTest::newRow("a change leaves and registers with a new id")
            << QByteArrayList{"Console", "Files"} << QList<int>{41, 42, 41}
            << QByteArrayList{"Console", "", "Files"} << 2;
        QTest::newRow("a change of case only is ignored")
            << QByteArrayList{"Console", "CONSOLE"} << QList<int>{41} << QByteArrayList{"Console"}
            << 1;
        QTest::newRow("back to empty: the default destination")
            << QByteArrayList{"Console", ""} << QList<int>{41, 42, 41}
            << QByteArrayList{"Console", "", "Viewer"} << 2;
    }

    void destinationDetails()
    {
        QFETCH(QByteArrayList, destinations);
        QFETCH(QList<int>, kinds);
        QFETCH(QByteArrayList, texts);
        QFETCH(int, connections);

        auto client = NewClient();
        for (const QByteArray &destination : destinations)
            client->SetDestinationDetails(destination);
        QList<int> sent;
        QByteArrayList sentTexts;
        QSet<QByteArray> ids;
        for (int i = 0; i < m_platform->Records.size(); ++i) {
            sent.append(Record(i).Kind);
            sentTexts.append(Record(i).Text);
            ids.insert(Record(i).ConnectionId);
        }
        QCOMPARE(sent, kinds);
        QCOMPARE(sentTexts, texts);
        QCOMPARE(ids.size(), connections);
    }

    void hook_data()
    {
        QTest::addColumn<bool>("letThrough");
        QTest::addColumn<bool>("connectedBefore");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QList<int>>("kinds"); // records after the hook was set

        QTest::newRow("handled: goes no further") << false << false << 0 << true << QList<int>{};
        QTest::newRow("let through: registers, then the message")
            << true << false << 0 << true << QList<int>{41, 0};
        QTest::newRow("connected client leaves first")
            << false << true << 0 << true << QList<int>{42};
        QTest::newRow("connected, let through: leaves and comes back")
            << true << true << 0 << true << QList<int>{42, 41, 0};
        QTest::newRow("control kinds are never shown")
            << false << false << 50 << false << QList<int>{41, 50};
        QTest::newRow("kind 99 is a control kind")
            << false << false << 99 << false << QList<int>{41, 99};
        QTest::newRow("kind 100 is shown") << false << false << 100 << true << QList<int>{};
        QTest::newRow("kind 39 is shown") << false << false << 39 << true << QList<int>{};
    }

    void hook()
    {
        QFETCH(bool, letThrough);
        QFETCH(bool, connectedBefore);
        QFETCH(int, kind);
        QFETCH(bool, shown);
        QFETCH(QList<int>, kinds);

        auto client = NewClient();
        client->SetCategory(QByteArray(50, 'c'));
        if (connectedBefore)
            client->SendText(0, "before");
        const qsizetype before = m_platform->Records.size();
        QList<TDezaZudiMsgData> seen;
        TDezaZudi *sender = nullptr;
        client->SetOnSendMsg([&](TDezaZudi *from, const TDezaZudiMsgData &data, bool &handled) {
            QVERIFY(handled);
            sender = from;
            seen.append(data);
            handled = !letThrough;
        });
        client->SendListOfKind(kind, "Text\r\n", {"one", "two"}, QByteArray(45, 't'));
        QList<int> sent;
        for (qsizetype i = before; i < m_platform->Records.size(); ++i)
            sent.append(m_platform->Records.at(i).Kind);
        QCOMPARE(sent, kinds);
        QCOMPARE(seen.size(), shown ? 1 : 0);
        if (!shown)
            return;
        QCOMPARE(sender, client.get());
        const TDezaZudiMsgData &data = seen.constFirst();
        QCOMPARE(data.Kind, kind);
        QCOMPARE(data.Text, QByteArray("Text\r\n")); // exactly as made
        QCOMPARE(data.Details, (QByteArrayList{"one", "two"}));
        QCOMPARE(data.TypeName, QByteArray(40, 't'));
        QCOMPARE(data.Category, QByteArray(40, 'c'));
        QCOMPARE(data.ProcessId, 4711u);
        QCOMPARE(data.ThreadId, 4712u);
        QCOMPARE(data.Time, 65045123);
        QCOMPARE(data.Date, 739958);
        QCOMPARE(data.CategoryColor, clWindow);
        QCOMPARE(data.ComputerName, connectedBefore ? QByteArray("QUILLHOST") : QByteArray());
    }

    void lastExceptionDescription_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("pattern");

        QTest::newRow("program's error with a full stop already")
            << 0
            << QStringLiteral("^Exception Exception in module tst_TDezaZudi at [0-9A-F]{8}\\.\\r\\n"
                              "Cannot open\\.$");
        QTest::newRow("empty message: no full stop")
            << 1
            << QStringLiteral("^Exception EAbort in module tst_TDezaZudi at [0-9A-F]{8}\\.\\r\\n$");
        QTest::newRow("not a standard exception")
            << 2
            << QStringLiteral("^Exception int in module tst_TDezaZudi at [0-9A-F]{8}\\.\\r\\n$");
        QTest::newRow("long message cut to 1024 in all")
            << 3
            << QStringLiteral("^Exception std::runtime_error in module tst_TDezaZudi at "
                              "[0-9A-F]{8}\\.\\r\\nx+$");
    }

    void lastExceptionDescription()
    {
        QFETCH(int, which);
        QFETCH(QString, pattern);
        auto client = NewClient();
        try {
            switch (which) {
            case 0:
                throw Exception(QStringLiteral("Cannot open."));
            case 1:
                throw EAbort();
            case 2:
                throw 7;
            default:
                throw std::runtime_error(std::string(2000, 'x'));
            }
        } catch (...) {
            client->SendLastException();
        }
        const QByteArray text = Record(1).Text;
        QVERIFY2(QRegularExpression(pattern).match(QString::fromUtf8(text)).hasMatch(),
                 text.constData());
        QVERIFY(text.size() <= 1024);
    }

    void lastExceptionOutsideAHandlerSendsNothing()
    {
        auto client = NewClient();
        client->SendLastException();
        QCOMPARE(m_platform->Calls, QByteArrayList());
    }

    void timeStamp_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("time");
        QTest::addColumn<int>("date");

        QTest::newRow("day 693594") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0 << 693594;
        QTest::newRow("first day") << QDateTime(QDate(1, 1, 1), QTime(0, 0, 0, 1)) << 1 << 1;
        QTest::newRow("last millisecond of a day")
            << QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59, 999)) << 86399999 << 739958;
    }

    void timeStamp()
    {
        QFETCH(QDateTime, now);
        QFETCH(int, time);
        QFETCH(int, date);
        m_platform->Now = now;
        auto client = NewClient();
        const TCSTimeStamp stamp = client->QueryTimeStamp();
        QCOMPARE(stamp.Time, time);
        QCOMPARE(stamp.Date, date);
    }

    void names_data()
    {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<QByteArray>("computer"); // null: cannot be read
        QTest::addColumn<QByteArray>("appName");
        QTest::addColumn<QByteArray>("computerName");

        QTest::newRow("plain") << QByteArray("/usr/bin/flitto") << QByteArray("desk")
                               << QByteArray("flitto") << QByteArray("desk");
        QTest::newRow("last extension only") << QByteArray("/opt/a.b.c") << QByteArray("desk")
                                             << QByteArray("a.b") << QByteArray("desk");
        QTest::newRow("dot in a folder is not an extension")
            << QByteArray("/opt/v1.2/flitto") << QByteArray("desk") << QByteArray("flitto")
            << QByteArray("desk");
        QTest::newRow("cut to 40 and 15")
            << QByteArray("/x/" + QByteArray(50, 'p')) << QByteArray(20, 'h') << QByteArray(40, 'p')
            << QByteArray(15, 'h');
        QTest::newRow("no computer name")
            << QByteArray("/x/f") << QByteArray() << QByteArray("f") << QByteArray("");
    }

    void names()
    {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, computer);
        QFETCH(QByteArray, appName);
        QFETCH(QByteArray, computerName);
        m_platform->Program = program;
        m_platform->Computer = computer;
        auto client = NewClient();
        QCOMPARE(client->QueryAppName(), appName);
        QCOMPARE(client->QueryComputerName(), computerName);
    }

    void publishedProperties_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QVariant>("initial");
        QTest::addColumn<QByteArray>("typeName");
        QTest::addColumn<bool>("stored");

        QTest::newRow("Enabled") << QByteArray("Enabled") << QVariant(true) << QByteArray("bool")
                                 << true;
        QTest::newRow("DateTimeFormat") << QByteArray("DateTimeFormat") << QVariant(QByteArray())
                                        << QByteArray("QByteArray") << true;
        QTest::newRow("Category") << QByteArray("Category") << QVariant(QByteArray())
                                  << QByteArray("QByteArray") << true;
        QTest::newRow("CategoryColor")
            << QByteArray("CategoryColor") << QVariant::fromValue(clWindow) << QByteArray("TColor")
            << true;
        QTest::newRow("HexViewWidth")
            << QByteArray("HexViewWidth") << QVariant(8) << QByteArray("int") << true;
        QTest::newRow("HexNumPrefix") << QByteArray("HexNumPrefix") << QVariant(QByteArray("$"))
                                      << QByteArray("QByteArray") << true;
        QTest::newRow("QuoteChar")
            << QByteArray("QuoteChar") << QVariant::fromValue('\'') << QByteArray("char") << true;
        QTest::newRow("DestinationDetails")
            << QByteArray("DestinationDetails") << QVariant(QByteArray())
            << QByteArray("QByteArray") << true;
        QTest::newRow("About") << QByteArray("About") << QVariant::fromValue(TCSObject::aiDezaZudi)
                               << QByteArray("TCSObject::TCSAboutInfo") << false;
    }

    void publishedProperties()
    {
        QFETCH(QByteArray, name);
        QFETCH(QVariant, initial);
        QFETCH(QByteArray, typeName);
        QFETCH(bool, stored);
        auto client = NewClient();
        const QMetaObject *meta = client->metaObject();
        const int index = meta->indexOfProperty(name.constData());
        QVERIFY(index >= 0);
        const QMetaProperty property = meta->property(index);
        QCOMPARE(QByteArray(property.typeName()), typeName);
        QCOMPARE(property.isStored(), stored);
        QCOMPARE(property.read(client.get()), initial);
        QVERIFY(property.isWritable());
    }

    void hookIsAProperty()
    {
        auto client = NewClient();
        int calls = 0;
        const TCSSendMsgEvent handler = [&](TDezaZudi *, const TDezaZudiMsgData &, bool &) {
            ++calls;
        };
        QVERIFY(client->setProperty("OnSendMsg", QVariant::fromValue(handler)));
        client->SendText(0, "x");
        QCOMPARE(calls, 1);
    }
};

QTEST_GUILESS_MAIN(tst_TDezaZudi)
#include "tst_TDezaZudi.moc"
