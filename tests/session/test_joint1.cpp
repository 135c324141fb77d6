// The generic parameter job: its cycle by state, the shared ending of the
// kinds' own states, its defaults, and the grid it shows its value in.
#include "TestSupport.h"
#include "serial/SpSync.h"
#include "session/Joint1.h"
#include "ui/StringGrid.h"

#include <QApplication>
#include <QtTest>

using namespace TestSupport;

namespace {

class TProbeJob : public TJoint1 {
public:
    QStringList Steps;
    int NextAfterInput = 2;
    void Input() override { record("Input"); State = NextAfterInput; }
    void GetP() override { record("GetP"); }
    void SetP() override { record("SetP"); }
    void Output() override { record("Output"); }

private:
    void record(const char* step)
    {
        Steps << QString::fromLatin1(step) + (spIsMainThread() ? "@main" : "@worker");
    }
};

// A kind with states of its own: its one step (10) goes to Next, and every
// state it does not step is left to the generic cycle.
class TOwnStatesJob : public TJoint1 {
public:
    int Next = 0;
    mutable QStringList Worded; // the error states worded, and in which thread

    bool Process() override
    {
        if (State != 10)
            return TJoint1::Process();
        State = Next;
        return false;
    }

protected:
    QString ErrorText(int state) const override
    {
        Worded << QString::number(state) + (spIsMainThread() ? "@main" : "@worker");
        return state == 250 ? QStringLiteral("Probe: refused") : QString();
    }
};

void runToEnd(TCOMServer& server, TJoint* job)
{
    QVERIFY(server.WaitIdle(10000));
    server.IdleEvent.Reset();
    server.Start(job);
    QVERIFY(server.WaitIdle(10000));
}

} // namespace

class TestJoint1 : public QObject {
    Q_OBJECT
private slots:
    void editCycleRunsEachStepOnItsThread()
    {
        TCOMServer server;
        TProbeJob job;
        job.State = TJoint1::Edit;
        runToEnd(server, &job);
        QCOMPARE(job.Steps, QStringList({"Input@main", "SetP@worker", "GetP@worker", "Output@main"}));
        QCOMPARE(job.State, 0);
    }

    void refreshAndCancelledEdit()
    {
        TCOMServer server;
        TProbeJob job;
        job.State = TJoint1::Read;
        runToEnd(server, &job);
        QCOMPARE(job.Steps, QStringList({"GetP@worker", "Output@main"}));

        job.Steps.clear();
        job.NextAfterInput = 0; // the user cancelled: nothing is sent
        job.State = TJoint1::Edit;
        runToEnd(server, &job);
        QCOMPARE(job.Steps, QStringList({"Input@main"}));
    }

    // An error state is worded in the main thread and shown when it has words;
    // any state ends the job.
    void ownStatesEndThroughTheSharedEnding_data()
    {
        QTest::addColumn<int>("next");
        QTest::addColumn<QStringList>("worded");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("error with words") << 250 << QStringList{"250@main"} << QStringList{"E: Probe: refused"};
        QTest::newRow("error without") << 251 << QStringList{"251@main"} << QStringList();
        QTest::newRow("no state of its") << 5 << QStringList() << QStringList();
    }
    void ownStatesEndThroughTheSharedEnding()
    {
        QFETCH(int, next);
        QFETCH(QStringList, worded);
        QFETCH(QStringList, shown);
        TRecordingSink sink;
        TSinkGuard guard(&sink);
        TCOMServer server;
        TOwnStatesJob job;
        job.Next = next;
        job.State = 10;
        runToEnd(server, &job);
        QCOMPARE(job.Worded, worded);
        QCOMPARE(sink.Log(), shown);
        QCOMPARE(job.State, 0);
    }

    void defaultsNameTheMissingStep()
    {
        TRecordingSink sink;
        TSinkGuard guard(&sink);
        TJoint1 job;
        job.Input();
        job.GetP();
        job.SetP();
        job.Output();
        QCOMPARE(sink.Log(), QStringList({"W: TJoint: input ?", "W: TJoint: getp ?",
                                          "W: TJoint: setp ?", "W: TJoint: output ?"}));
        QCOMPARE(job.GetText(), QStringLiteral("Не определен"));
    }

    void gridCellCarriesTextAndJob()
    {
        TStringGrid grid;
        grid.SetColCount(3);
        grid.SetRowCount(4);
        TStringGrid* gridVar = &grid;
        TJoint1 job;
        job.GridRef = &gridVar;
        job.Col = 2;
        job.Row = 3;
        grid.SetObjects(2, 3, &job);
        grid.SetCells(0, 0, QStringLiteral("Код"));
        job.Output();
        QCOMPARE(job.GetText(), QStringLiteral("Some..."));
        QCOMPARE(grid.Objects(2, 3), &job);
        QCOMPARE(grid.Objects(1, 3), nullptr);
        QCOMPARE(grid.Cells(0, 0), QStringLiteral("Код"));
        QCOMPARE(grid.RowCount(), 4);
        // Outside the grid nothing is stored and nothing crashes.
        grid.SetCells(5, 9, QStringLiteral("x"));
        QCOMPARE(grid.Cells(5, 9), QString());
    }
};

QTEST_MAIN(TestJoint1)
#include "test_joint1.moc"
