// The tap on the line: it sees every byte both ways (the session's wake-up and
// password included) without changing a wait on a real device, and a unit
// played through it answers waits at once, lets one run out, or hangs up for
// good, without any wait costing its time.
#include "TestSupport.h"
#include "serial/SpSync.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "session/UnitDialog.h"

#include <QElapsedTimer>
#include <QtTest>

#include <deque>
#include <future>
#include <variant>

using namespace TestSupport;

namespace {

template <class F>
auto onWorker(F fn)
{
    auto result = std::async(std::launch::async, fn);
    if (!spProcessMessagesUntil([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                                30000, 20))
        qFatal("worker step did not end");
    return result.get();
}

// Answers each wait with the next scripted answer: bytes the unit sends, or a
// verdict; an empty script hangs up.
class TScriptedTap : public TLineTap {
public:
    using TAnswer = std::variant<QByteArray, TVerdict>;

    TScriptedTap(TFormComm& comm, std::deque<TAnswer> answers) : m_comm(comm), m_answers(std::move(answers))
    {
        m_comm.SetLineTap(this);
    }
    ~TScriptedTap() override { m_comm.SetLineTap(nullptr); }

    void Sent(const QByteArray& bytes) override { SentBytes += bytes; }
    void Received(const QByteArray& bytes) override { ReceivedBytes += bytes; }
    TVerdict Waiting(const QByteArray&) override
    {
        ++Waits;
        if (m_answers.empty())
            return HangUp;
        const TAnswer answer = m_answers.front();
        m_answers.pop_front();
        if (const auto* verdict = std::get_if<TVerdict>(&answer))
            return *verdict;
        const QByteArray bytes = std::get<QByteArray>(answer);
        spSynchronize([&] {
            m_comm.SpComm1.DeliverReceived(reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()));
        });
        return GoOn;
    }

    QByteArray SentBytes;
    QByteArray ReceivedBytes;
    int Waits = 0;

private:
    TFormComm& m_comm;
    std::deque<TAnswer> m_answers;
};

// A job that only notes that the session handed the line to it.
class TMarkJob : public TJoint1 {
public:
    TMarkJob() { Mode = Unit::umSys; }
    bool Process() override
    {
        Ran = true;
        State = 0;
        return true;
    }
    bool Ran = false;
};

} // namespace

class TestLineTap : public QObject {
    Q_OBJECT
private:
    TRecordingSink sink;

private slots:
    void init()
    {
        SetMessageSink(&sink);
        sink.Clear();
    }
    void cleanup() { SetMessageSink(nullptr); }

    void seesBothWaysOfARealLine()
    {
        TPtyPair pty;
        TFormComm comm;
        comm.SpComm1.SetDeviceName(pty.SlavePath());
        comm.SpComm1.Open();
        TScriptedTap tap(comm, {TLineTap::GoOn, TLineTap::GoOn, TLineTap::GoOn});
        auto wait = std::async(std::launch::async, [&] { return comm.SendAndWaitEcho("GET\r", 10000); });
        QCOMPARE(pty.ReadUntil("GET\r", 10000), QByteArray("GET\r"));
        pty.Write("GET\r\nN");
        QVERIFY(spProcessMessagesUntil([&] { return wait.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                                       10000, 20));
        QCOMPARE(wait.get(), int(wrFound));
        QCOMPARE(tap.SentBytes, QByteArray("GET\r"));
        QVERIFY(spProcessMessagesUntil([&] { return tap.ReceivedBytes.size() == 6; }, 10000, 20));
        QCOMPARE(tap.ReceivedBytes, QByteArray("GET\r\nN")); // the line feed as received
        QCOMPARE(comm.RxText(), QByteArray("N"));
    }

    void playedUnitAnswersWithoutCostingTime()
    {
        TFormComm comm;
        TScriptedTap tap(comm, {QByteArray("PC S"), QByteArray("\nYS>=1"), TLineTap::RunOut, QByteArray("2\r\nPC>"),
                                TLineTap::HangUp});
        QElapsedTimer clock;
        clock.start();
        // A prompt split in two bursts is found after the second, not before.
        QCOMPARE(onWorker([&] { return comm.WaitForText("PC SYS>", 10000); }), int(wrFound));
        QCOMPARE(tap.Waits, 2);
        // Silence: this wait runs out at once and leaves its argument alone.
        QByteArray line = "\r";
        QCOMPARE(onWorker([&] { return comm.ReadThrough(line, 10000); }), int(wrTimeout));
        QCOMPARE(line, QByteArray("\r"));
        // The line stays up: the next wait is answered.
        QCOMPARE(onWorker([&] { return comm.ReadThrough(line, 10000); }), int(wrFound));
        QCOMPARE(line, QByteArray("=12\r"));
        // Hung up: this and every later wait fail at once, without asking again,
        // while text already received is still found.
        QCOMPARE(onWorker([&] { return comm.WaitForText("OK", 10000); }), int(wrAbandoned));
        QCOMPARE(onWorker([&] { return comm.WaitForText("PC>", 10000); }), int(wrFound));
        QCOMPARE(onWorker([&] { return comm.SendAndWaitEcho("GET\r", 10000); }), int(wrAbandoned));
        QCOMPARE(tap.Waits, 5);
        QCOMPARE(tap.SentBytes, QByteArray("GET\r"));
        QVERIFY(clock.elapsed() < 5000);
        comm.SetLineTap(&tap); // a tap set again is a fresh line
        QCOMPARE(onWorker([&] { return comm.WaitForText("X", 10000); }), int(wrAbandoned));
        QCOMPARE(tap.Waits, 6);
    }

    void sessionSendsEverythingThroughTheTap()
    {
        TCOMServer server;
        TAAMenu session(server);
        session.UnitMode = Unit::umPortOpen;
        session.Password = QStringLiteral("4321");
        TFormComm comm;
        TScriptedTap tap(comm, {QByteArray("\xEA\xE4\xEB\r\n"), QByteArray("\r\nPassword:"),
                                QByteArray("\r\nSYSTEM_MODE\r\n>"), QByteArray("PC\r\nPC>"),
                                QByteArray("SYS\r\nPC SYS>")});
        TMarkJob job;
        session.Submit(&job);
        QVERIFY(server.WaitIdle(30000));
        QVERIFY(job.Ran);
        QCOMPARE(session.Level, uint8_t(TAAMenu::lvSystem));
        QCOMPARE(session.UnitMode, uint8_t(Unit::umSys));
        const QByteArray wake = QByteArray(9, '\x18') + QByteArray(16, '\r') + "\xEA\xE4\xEB\r";
        QCOMPARE(tap.SentBytes, wake + "\r" + "4321" + "\r" + "PC\r" + "SYS\r");
        QCOMPARE(sink.Log(), QStringList());
    }
};

QTEST_MAIN(TestLineTap)
#include "test_linetap.moc"
