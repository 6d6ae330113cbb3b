#include "TestDispatcherPlatform.h"
#include "diag/AssertionHook.h"
#include "diag/CSModule.h"
#include "diag/MessagePacket.h"
#include "diag/TCSFormatterList.h"
#include "diag/TCSObjectManager.h"
#include "diag/TDezaZudi.h"

#include <QRegularExpression>
#include <QTest>
#include <QThread>

namespace {

// Writes its name into a shared log when destroyed.
class TLoggingFormatter : public TCSFormatter
{
public:
    TLoggingFormatter(QByteArrayList &log, QByteArray name) : m_log(log), m_name(std::move(name)) {}
    ~TLoggingFormatter() override { m_log.append(m_name); }

private:
    QByteArrayList &m_log;
    QByteArray m_name;
};

} // namespace

class tst_TCSObjectManager : public QObject
{
    Q_OBJECT

    std::shared_ptr<TestDispatcherPlatform> m_platform;

    QByteArray TextOf(int index) const
    {
        const auto fields = MessagePacket::Parse(m_platform->Records.value(index).Bytes);
        return fields ? fields->Text : QByteArray("<none>");
    }

private Q_SLOTS:
    void init()
    {
        m_platform = std::make_shared<TestDispatcherPlatform>();
        m_platform->RunningWindow = 1;
        ObjectManager()->SetPlatform(m_platform);
        ObjectManager()->SetAssertMode(0);
    }

    void moduleIsStartedBeforeMain()
    {
        QVERIFY(ObjectManager());
        QVERIFY(DefaultClient());
        QVERIFY(!DefaultClient()->parent());
        QVERIFY(ObjectManager()->Clients().contains(DefaultClient()));
        QVERIFY(AssertErrorProc() == &AssertionHook);
        QCOMPARE(ObjectManager()->DefaultDestination(), QByteArray("Viewer"));
        QCOMPARE(ObjectManager()->AssertMode(), quint8(0));
    }

    void clientsComeAndGo()
    {
        const int before = ObjectManager()->ClientCount();
        auto first = std::make_unique<TCSObject>(nullptr);
        {
            QObject owner;
            auto *owned = new TCSObject(&owner);
            QCOMPARE(ObjectManager()->ClientCount(), before + 2);
            QCOMPARE(ObjectManager()->Clients().constLast(), owned);
        } // the owner destroys what it owns
        QCOMPARE(ObjectManager()->ClientCount(), before + 1);
        first.reset();
        QCOMPARE(ObjectManager()->ClientCount(), before);
    }

    void clientsFromSeveralThreads()
    {
        const int before = ObjectManager()->ClientCount();
        QList<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads.append(QThread::create([] {
                for (int i = 0; i < 200; ++i) {
                    TDezaZudi client(nullptr);
                    ObjectManager()->ClientCount();
                }
            }));
            threads.constLast()->start();
        }
        for (QThread *thread : std::as_const(threads)) {
            QVERIFY(thread->wait(30000));
            delete thread;
        }
        QCOMPARE(ObjectManager()->ClientCount(), before);
    }

    void formattersAreMadeOnce()
    {
        TCSFormatterList *formatters = ObjectManager()->Formatters();
        QVERIFY(formatters);
        QCOMPARE(ObjectManager()->Formatters(), formatters);
        QCOMPARE(formatters->Count(), 0);
    }

    void formatterListOwnsItsEntries_data()
    {
        QTest::addColumn<bool>("destroyList");
        QTest::newRow("clear") << false;
        QTest::newRow("destroy") << true;
    }

    void formatterListOwnsItsEntries()
    {
        QFETCH(bool, destroyList);
        QByteArrayList log;
        auto list = std::make_unique<TCSFormatterList>();
        for (const char *name : {"a", "b", "c"})
            list->Add(std::make_unique<TLoggingFormatter>(log, name));
        QCOMPARE(list->Count(), 3);
        if (destroyList) {
            list.reset();
        } else {
            list->Clear();
            QCOMPARE(list->Count(), 0);
        }
        QCOMPARE(log, (QByteArrayList{"a", "b", "c"}));
    }

    void defaultDestinationReachesEveryClient()
    {
        auto first = std::make_unique<TCSObject>(nullptr);
        auto second = std::make_unique<TCSObject>(nullptr);
        second->SetDestinationDetails("console"); // differs only in case: kept, no new registration
        first->SendText(0, "x");
        m_platform->Records.clear();

        ObjectManager()->SetDefaultDestination("Console");
        QCOMPARE(ObjectManager()->DefaultDestination(), QByteArray("Console"));
        QCOMPARE(first->DestinationDetails(), QByteArray("Console"));
        QCOMPARE(second->DestinationDetails(), QByteArray("console"));
        // The default client registers, the first client leaves and comes
        // back, the second keeps its connection.
        QByteArrayList texts;
        for (int i = 0; i < m_platform->Records.size(); ++i)
            texts.append(QByteArray::number(m_platform->Records.at(i).Kind) + ':' + TextOf(i));
        QCOMPARE(texts, (QByteArrayList{"41:Console", "42:", "41:Console"}));

        // Back to a fresh module for the tests after this one.
        first.reset();
        second.reset();
        CSIntfShutDown();
        CSIntfStartUp();
    }

    void shutDownOrder()
    {
        // Clients nobody destroyed are destroyed by the manager, last first,
        // after the default client.
        auto *first = new TCSObject(nullptr);
        auto *second = new TCSObject(nullptr);
        first->SendText(0, "first");
        second->SendText(0, "second");
        DefaultClient()->SendText(0, "default");
        const QByteArray firstId = first->ConnectionId();
        const QByteArray secondId = second->ConnectionId();
        const QByteArray defaultId = DefaultClient()->ConnectionId();
        m_platform->Records.clear();

        CSIntfShutDown();
        QVERIFY(!ObjectManager());
        QVERIFY(!DefaultClient());
        QVERIFY(AssertErrorProc() == nullptr);
        QByteArrayList order;
        for (const auto &record : std::as_const(m_platform->Records)) {
            QCOMPARE(record.Kind, 42);
            order.append(MessagePacket::Parse(record.Bytes)->ConnectionId);
        }
        QCOMPARE(order, (QByteArrayList{defaultId, secondId, firstId}));

        CSIntfStartUp();
        QVERIFY(ObjectManager());
        QCOMPARE(ObjectManager()->ClientCount(), 1);
        QVERIFY(AssertErrorProc() == &AssertionHook);
    }

    void assertionModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("message");
        QTest::addColumn<bool>("raised");

        QTest::newRow("0: raised only") << 0 << false << true;
        QTest::newRow("1: message only") << 1 << true << false;
        QTest::newRow("2: both") << 2 << true << true;
        QTest::newRow("3: neither") << 3 << false << false;
        QTest::newRow("255: neither") << 255 << false << false;
    }

    void assertionModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, message);
        QFETCH(bool, raised);

        ObjectManager()->SetAssertMode(static_cast<quint8>(mode));
        bool wasRaised = false;
        bool continued = false;
        int line = 0;
        try {
            line = __LINE__ + 1;
            FLITTO_ASSERT(1 + 1 == 3, "sum is three");
            continued = true;
        } catch (const EAssertionFailed &error) {
            wasRaised = true;
            QCOMPARE(error.message(), QStringLiteral("sum is three (%1, line %2)")
                                          .arg(QLatin1String(__FILE__))
                                          .arg(line));
            QVERIFY(error.RaiseAddress());
        }
        QCOMPARE(wasRaised, raised);
        QCOMPARE(continued, !raised);
        const bool sent = !m_platform->Records.isEmpty();
        QCOMPARE(sent, message);
        if (message) {
            const auto fields = MessagePacket::Parse(m_platform->Records.constLast().Bytes);
            QCOMPARE(fields->Kind, 2);
            const QString pattern =
                QStringLiteral("^Assertion Failed: sum is three\\rFile: %1\\rLine: "
                               "%2\\rAddress: [0-9A-F]{16}$")
                    .arg(QRegularExpression::escape(QLatin1String(__FILE__)))
                    .arg(line);
            QVERIFY2(QRegularExpression(pattern).match(QString::fromUtf8(fields->Text)).hasMatch(),
                     fields->Text.constData());
        }
    }

    void assertionWithoutMessageOrHandler()
    {
        const TAssertErrorProc previous = SetAssertErrorProc(nullptr);
        try {
            FLITTO_ASSERT(false, "");
            QFAIL("not raised");
        } catch (const EAssertionFailed &error) {
            QVERIFY(error.message().startsWith(QStringLiteral("Assertion failed (")));
        }
        SetAssertErrorProc(previous);
        QVERIFY(m_platform->Records.isEmpty());
    }

    void passingAssertionDoesNothing()
    {
        ObjectManager()->SetAssertMode(2);
        FLITTO_ASSERT(true, "never");
        QVERIFY(m_platform->Calls.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_TCSObjectManager)
#include "tst_TCSObjectManager.moc"
