// The job engine: steps by state on the right thread, hand-overs back to back,
// the busy bracket's nesting.
#include "TestSupport.h"
#include "session/Server.h"
#include "serial/SpSync.h"

#include <QCoreApplication>
#include <QThread>
#include <QtTest>

#include <vector>

using namespace TestSupport;

namespace {

// A job of three steps: 1 (main) → 2 (worker) → 3 (main) → done.
class TStepJob : public TJoint {
public:
    std::vector<std::pair<int, bool>> Trace; // state, ran in main thread
    bool Process() override
    {
        Trace.emplace_back(State, spIsMainThread());
        switch (State) {
        case 1: State = 2; return false;
        case 2: State = 3; return false;
        case 3: State = 0; return true;
        default: State = 0; return true;
        }
    }
    bool NeedsMainThread() override { return State == 1 || State == 3; }
};

class TCountJob : public TJoint {
public:
    std::atomic<int> Runs{0};
    bool Process() override
    {
        ++Runs;
        return true;
    }
};

// Replaces itself by another job, as the session does after navigating.
class TChainJob : public TJoint {
public:
    TCOMServer* Server = nullptr;
    TJoint* Next = nullptr;
    bool Process() override
    {
        Server->SetJob(Next);
        return false;
    }
};

// A worker step that itself hands a call to the main thread.
class THandOverJob : public TJoint {
public:
    TSpWaitEvent Entered;
    bool Served = false;
    bool Process() override
    {
        Entered.Set();
        spSynchronize([this] { Served = true; });
        return true;
    }
};

void handOver(TCOMServer& server, TJoint* job)
{
    QVERIFY(server.WaitIdle(10000));
    server.IdleEvent.Reset();
    server.Start(job);
}

} // namespace

class TestServer : public QObject {
    Q_OBJECT
private slots:
    void stepsRunOnTheirThreads()
    {
        TCOMServer server;
        TStepJob job;
        job.State = 1;
        handOver(server, &job);
        QVERIFY(server.WaitIdle(10000));
        QCOMPARE(job.Trace.size(), size_t(3));
        QCOMPARE(job.Trace[0], std::make_pair(1, true));
        QCOMPARE(job.Trace[1], std::make_pair(2, false));
        QCOMPARE(job.Trace[2], std::make_pair(3, true));
        QCOMPARE(job.State, 0);
    }

    void stateOutsideTheCycleIsOneStep()
    {
        TCOMServer server;
        TStepJob job;
        job.State = 0;
        handOver(server, &job);
        QVERIFY(server.WaitIdle(10000));
        QCOMPARE(job.Trace.size(), size_t(1));
    }

    void afterDoneRunsInMainThreadBeforeIdle()
    {
        TCOMServer server;
        bool ranInMain = false;
        bool idleWhenRun = true;
        server.OnAfterDone = [&] {
            ranInMain = spIsMainThread();
            idleWhenRun = server.IdleEvent.IsSet();
        };
        TCountJob job;
        handOver(server, &job);
        QVERIFY(server.WaitIdle(10000));
        QVERIFY(ranInMain);
        QVERIFY(!idleWhenRun);
    }

    void stepMayReplaceTheJob()
    {
        TCOMServer server;
        TCountJob target;
        TChainJob chain;
        chain.Server = &server;
        chain.Next = &target;
        handOver(server, &chain);
        QVERIFY(server.WaitIdle(10000));
        QCOMPARE(target.Runs.load(), 1);
    }

    // Thousands of hand-overs, each started the moment the worker is idle: a
    // lost wake-up would hang here until the test's timeout.
    void backToBackHandOversNeverLoseAWakeUp()
    {
        TCOMServer server;
        int busy = 0;
        int peak = 0;
        server.OnBeforeStart = [&] { peak = std::max(peak, ++busy); };
        server.OnAfterDone = [&] { --busy; };
        TCountJob job;
        TStepJob steps;
        for (int i = 0; i < 3000; ++i) {
            if (i % 3 == 0) {
                steps.State = 1;
                handOver(server, &steps);
            } else {
                handOver(server, &job);
            }
        }
        QVERIFY(server.WaitIdle(10000));
        QCOMPARE(job.Runs.load(), 2000);
        QCOMPARE(busy, 0);
        QCOMPARE(peak, 1);
    }

    void destroyingWhileAStepWaitsForTheMainThread()
    {
        THandOverJob job;
        {
            TCOMServer server;
            handOver(server, &job);
            // Not processing events: the worker's step now waits for this thread.
            QCOMPARE(job.Entered.Wait(10000), TSpWaitResult::Signaled);
        } // the destructor must serve that hand-over, not deadlock
        QVERIFY(job.Served);
    }

    void busyBracketNests()
    {
        TBusyBracket bracket;
        int busy = 0, ready = 0;
        bracket.OnBusy = [&] { ++busy; };
        bracket.OnReady = [&] { ++ready; };
        bracket.EndBusy(); // the window's first EndBusy: ready
        QCOMPARE(ready, 1);
        bracket.BeginBusy();
        bracket.BeginBusy();
        bracket.EndBusy();
        QCOMPARE(bracket.BusyCount(), 1);
        QCOMPARE(ready, 1);
        bracket.EndBusy();
        QCOMPARE(ready, 2);
        QCOMPARE(busy, 1);
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "test_server.moc"
