// The clock job: a reading shown in the picker and the calendar, replies that
// are refused without touching them, the clock string, and a write with the
// unit's answers.
#include "ScriptedUnit.h"
#include "session/UnitDialog.h"
#include "settings/ClockJob.h"

#include <QCalendarWidget>
#include <QTimeEdit>
#include <QtTest>

using namespace TestSupport;

namespace {

struct TClockRig {
    TJobRig Rig;
    QTimeEdit Picker;
    QCalendarWidget Calendar;
    TClock Job;

    TClockRig()
    {
        Picker.setTime(QTime(1, 2, 3));
        Calendar.setSelectedDate(QDate(2020, 6, 15));
        Job.TimePicker = &Picker;
        Job.Calendar = &Calendar;
    }
};

} // namespace

class TestClockJob : public QObject {
    Q_OBJECT
private slots:
    void readingIsShown()
    {
        TClockRig c;
        c.Rig.Unit.On(Unit::Get, "311224235959\rPC TIME>");
        QVERIFY(c.Rig.Run(c.Job, TJoint1::Read));
        QCOMPARE(c.Rig.Sink.Log(), QStringList());
        QCOMPARE(c.Calendar.selectedDate(), QDate(2024, 12, 31));
        QCOMPARE(c.Picker.time(), QTime(23, 59, 59));
    }

    void badRepliesChangeNothing()
    {
        TClockRig c;
        const QByteArray replies[] = {"31122423595", "3112242359590", "", "31122423595X", "3112-4235959",
                                      "311324235959", "310224235959", "311224245959", "311224236059"};
        for (const QByteArray& reply : replies) {
            c.Rig.Sink.Clear();
            c.Rig.Unit.On(Unit::Get, reply + "\rPC TIME>");
            QVERIFY(c.Rig.Run(c.Job, TJoint1::Read));
            QCOMPARE(c.Rig.Sink.Errors(), QStringList({"Time: Empty or incorrect reply"}));
            QCOMPARE(c.Calendar.selectedDate(), QDate(2020, 6, 15));
            QCOMPARE(c.Picker.time(), QTime(1, 2, 3));
        }
        c.Rig.Sink.Clear();
        c.Rig.Unit.On(Unit::Get, {}); // no reply line within its time
        QVERIFY(c.Rig.Run(c.Job, TJoint1::Read));
        QCOMPARE(c.Rig.Sink.Errors(), QStringList({"Time: Time-out on reply"}));
    }

    void writeSendsTheStringAndChecksTheReply()
    {
        TClockRig c;
        c.Job.ClockString = TClock::MakeClockString(QDate(2009, 3, 5), QTime(7, 8, 9));
        QCOMPARE(c.Job.ClockString, QByteArray("050309070809"));
        const std::pair<QByteArray, QStringList> cases[] = {
            {"OK", {}},
            {"ERROR", {"Time: reply: ERROR"}},
            {"NOPE", {"Time: Unknown error"}},
        };
        for (const auto& [reply, errors] : cases) {
            c.Rig.Sink.Clear();
            c.Rig.Unit.ClearReceived();
            c.Rig.Unit.On(Unit::Set, "T");
            c.Rig.Unit.On("050309070809\r", reply + "\rPC TIME>");
            QVERIFY(c.Rig.Run(c.Job, TJoint1::Edit)); // an edit goes straight to the write
            QCOMPARE(c.Rig.Sink.Errors(), errors);
            QCOMPARE(c.Rig.Unit.Received(), QByteArray("SET\r050309070809\r"));
        }
        // Not read back: the clock window's next reading shows the new time.
        QCOMPARE(c.Picker.time(), QTime(1, 2, 3));
    }
};

QTEST_MAIN(TestClockJob)
#include "test_clockjob.moc"
