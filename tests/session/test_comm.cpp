// The line exchange against a scripted unit on a pseudo-terminal: prompts split
// across bursts, reply lines followed by the prompt, the cut after a match,
// stale signals, and the generic exchanges with their error boxes.
#include "TestSupport.h"
#include "session/Comm.h"

#include <QtTest>

#include <future>
#include <thread>

using namespace TestSupport;

namespace {

// Runs fn as a job step would, on another thread, while the main thread keeps
// delivering the received bytes.
template <class F>
auto onWorker(F fn)
{
    auto result = std::async(std::launch::async, fn);
    const bool done = spProcessMessagesUntil(
        [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000, 20);
    if (!done)
        qFatal("worker step did not end");
    return result.get();
}

bool waitFor(const std::function<bool()>& done)
{
    return spProcessMessagesUntil(done, 10000, 20);
}

// The unit's side: each step waits for bytes from the program, then answers.
class TScriptedUnit {
public:
    explicit TScriptedUnit(TPtyPair& pty) : m_pty(pty) {}
    ~TScriptedUnit()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    TScriptedUnit& On(const QByteArray& expect, const QByteArray& reply)
    {
        m_steps.emplace_back(expect, reply);
        return *this;
    }
    void Start()
    {
        m_thread = std::thread([this] {
            QByteArray got;
            for (const auto& [expect, reply] : m_steps) {
                while (!got.contains(expect)) {
                    const QByteArray more = m_pty.Read(10000);
                    if (more.isEmpty())
                        return;
                    got += more;
                }
                got = got.mid(got.indexOf(expect) + expect.size());
                m_pty.Write(reply);
            }
        });
    }

private:
    TPtyPair& m_pty;
    std::vector<std::pair<QByteArray, QByteArray>> m_steps;
    std::thread m_thread;
};

} // namespace

class TestComm : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TPtyPair> pty;
    std::unique_ptr<TFormComm> comm;
    TRecordingSink sink;

    // Everything the program sent, read after a marker it sends last.
    QByteArray sentBefore(const QByteArray& marker)
    {
        comm->Send(marker);
        QByteArray got;
        waitFor([&] {
            got += pty->Read(0);
            return got.endsWith(marker);
        });
        return got.chopped(marker.size());
    }

private slots:
    void init()
    {
        SetMessageSink(&sink);
        sink.Clear();
        pty = std::make_unique<TPtyPair>();
        comm = std::make_unique<TFormComm>();
        QCOMPARE(FormComm(), comm.get());
        comm->SpComm1.SetDeviceName(pty->SlavePath());
        comm->SpComm1.Open();
    }
    void cleanup()
    {
        comm.reset();
        QVERIFY(FormComm() == nullptr);
        pty.reset();
        SetMessageSink(nullptr);
    }

    void promptSplitAcrossBursts()
    {
        auto wait = std::async(std::launch::async, [&] { return comm->WaitForText("PC SYS>", 10000); });
        pty->Write("PC S");
        QVERIFY(waitFor([&] { return comm->RxText() == "PC S"; }));
        QVERIFY(wait.wait_for(std::chrono::milliseconds(0)) == std::future_status::timeout);
        pty->Write("YS>");
        QVERIFY(waitFor([&] { return wait.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
        QCOMPARE(wait.get(), int(wrFound));
        QCOMPARE(comm->RxText(), QByteArray());
    }

    void replyLineThenPromptInOneBurst()
    {
        pty->Write("=12\r\nPC SYS>");
        QByteArray line = "\r";
        QCOMPARE(onWorker([&] { return comm->ReadThrough(line, 5000); }), int(wrFound));
        QCOMPARE(line, QByteArray("=12\r"));
        QCOMPARE(comm->RxText(), QByteArray("PC SYS>"));
        // Already there: found at once, and a line feed is never part of the text.
        QCOMPARE(onWorker([&] { return comm->WaitForText("SYS", 5000); }), int(wrFound));
        QCOMPARE(comm->RxText(), QByteArray(">"));
        pty->Write("A\nB");
        QVERIFY(waitFor([&] { return comm->RxText() == ">AB"; }));
        QCOMPARE(onWorker([&] { return comm->WaitForText("A\nB", 100); }), int(wrTimeout));
    }

    void echoDiscardsTheLeftoverPromptAndCutKeeps999()
    {
        pty->Write("PC SYS>");
        QVERIFY(waitFor([&] { return comm->RxText() == "PC SYS>"; }));
        const QByteArray tail = QByteArray(600, 'a') + QByteArray(600, 'b');
        TScriptedUnit unit(*pty);
        unit.On("GET\r", "GET\r" + tail).Start();
        QCOMPARE(onWorker([&] { return comm->SendAndWaitEcho("GET\r", 5000); }), int(wrFound));
        QVERIFY(waitFor([&] { return comm->RxText().size() >= TFormComm::KeptAfterMatch; }));
        QCOMPARE(comm->RxText(), tail.left(TFormComm::KeptAfterMatch));
    }

    void staleSignalNeverSatisfiesALaterWait()
    {
        QCOMPARE(onWorker([&] { return comm->WaitForText("ONE", 50); }), int(wrTimeout));
        pty->Write("ONE");
        QVERIFY(waitFor([&] { return comm->RxText() == "ONE"; }));
        QCOMPARE(onWorker([&] { return comm->WaitForText("TWO", 200); }), int(wrTimeout));
        QCOMPARE(onWorker([&] { return comm->WaitForText("ONE", 0); }), int(wrFound));
        // Waits belong to the worker: in the main thread they are refused at once.
        QCOMPARE(comm->WaitForText("X", 5000), int(wrFailed));
    }

    void sendGetWithoutEchoStops()
    {
        onWorker([&] { comm->SendGet(12); return 0; }); // no unit: the first echo never comes
        QCOMPARE(sink.Errors(), QStringList({"SendGet: Bad Transactions"}));
        QCOMPARE(sentBefore("#"), QByteArray("GET\r"));
    }

    void messageGetLines_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("error");
        QTest::newRow("name and length") << QByteArray("MSG=greet1 20480\r") << QByteArray("greet1") << 20480 << QString();
        QTest::newRow("empty") << QByteArray("MSG=\r") << QByteArray() << -7 << QString();
        QTest::newRow("bad length") << QByteArray("MSG=greet1 2x\r") << QByteArray("greet1") << -7
                                    << QStringLiteral("MessageGet: Incorrect length format, parameter: 31");
        QTest::newRow("too long") << QByteArray("MSG=g 99999999999\r") << QByteArray("g") << -7
                                  << QStringLiteral("MessageGet: Incorrect length format, parameter: 31");
        QTest::newRow("no blank") << QByteArray("MSG=greet1\r") << QByteArray("greet1") << -7
                                  << QStringLiteral("MessageGet: Incorrect length format, parameter: 31");
        QTest::newRow("not a name") << QByteArray("\xEE\xF8\xE8\xE1\xEA\xE0\r") << QByteArray("old") << -7
                                    << QStringLiteral("MessageGet: parameter (31): error parsing name: ошибка\r");
    }

    void messageGetLines()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, name);
        QFETCH(int, length);
        QFETCH(QString, error);
        TScriptedUnit unit(*pty);
        unit.On("GET\r", "GET\r\nN").On("31\r", "31\r\n" + reply + "\nPC SYS>").Start();
        QByteArray gotName = "old";
        int gotLength = -7;
        onWorker([&] { comm->MessageGet(31, gotName, gotLength); return 0; });
        QCOMPARE(gotName, name);
        QCOMPARE(gotLength, length);
        QCOMPARE(sink.Errors(), error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(comm->RxText(), QByteArray("PC SYS>"));
    }
};

QTEST_GUILESS_MAIN(TestComm)
#include "test_comm.moc"
