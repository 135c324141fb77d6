// The line to the emulated unit misbehaving under the real window: the unit
// killed during login, a page read and a write; the device gone while the
// port is idle; stray bytes before replies; replies in single-byte bursts;
// replies held back just under and just over the shortest timeouts. Each time
// the program says so in its message, stays usable and keeps what the unit holds.
#include "FaultRig.h"
#include "GuiTestSupport.h"
#include "window/Unit1.h"
#include "session/AAMenu.h"
#include "session/UnitDialog.h"
#include "settings/CheckJob.h"
#include "settings/ClockJob.h"
#include "settings/DirectoryJobs.h"
#include "ui/Directory.h"
#include "ui/StringGrid.h"

#include <QCalendarWidget>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QtTest>

using namespace TestSupport;

namespace {

void typeNumber(const QString& text)
{
    AnswerNextModal<TFormDirectory>([text](TFormDirectory* d) {
        d->Edit1->clear();
        QTest::keyClicks(d->Edit1, text);
        d->btnOK->click();
    });
}

// Reads the unit's clock once with a job of the test's own.
class TClockRead {
public:
    TClockRead() { Job.TimePicker = &Picker; Job.Calendar = &Calendar; }
    // As a person reads it: after the unit's prompt of the read before has come.
    void Run(TFaultRig& rig)
    {
        QVERIFY(QTest::qWaitFor([] { return FormComm()->RxText().endsWith("PC TIME>"); }, 10000)
                || rig.Window->Session()->UnitMode != Unit::umTime);
        Job.ClockString.clear();
        Job.State = TJoint1::Read;
        rig.Window->Session()->Submit(&Job);
        QVERIFY(rig.Settle());
    }
    QTimeEdit Picker;
    QCalendarWidget Calendar;
    TClock Job;
};

} // namespace

class TestFaultsLine : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    void lineDiesDuringLogin()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        {
            TKillOnSend kill(rig.Unit->Pid(), "1234");
            QVERIFY(!rig.Connect(QStringLiteral("1234")));
            QVERIFY(kill.Fired());
        }
        QCOMPARE(rig.Sink.Log(), QStringList({"P", "E: Device does no respond on password input"}));
        QCOMPARE(rig.Window->Session()->Level, uint8_t(TAAMenu::lvOff));
        QVERIFY(rig.RestartUnit());
        QVERIFY(rig.StaysUsable());
    }

    // The job the line died under reports it at once, not after its timeouts;
    // the page's next job finds the port gone and the page stops there.
    void lineDiesDuringPageRead()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        QElapsedTimer clock;
        clock.start();
        {
            TKillOnSend kill(rig.Unit->Pid(), "GET\r", 3);
            QVERIFY(rig.ShowPage(rig.Window->tbsSysParams));
            QVERIFY(kill.Fired());
        }
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(rig.Sink.Log().mid(1), QStringList({"E: SendGet: Bad Transactions", "E: NumberGet: Reception error", rig.PortGone()}));
        QCOMPARE(rig.Window->Session()->Level, uint8_t(TAAMenu::lvOff));
        QVERIFY(rig.RestartUnit());
        QVERIFY(rig.StaysUsable());
    }

    // Killed as the new value is about to leave: the unit keeps the old one.
    void lineDiesDuringWrite()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        const QString before = rig.Window->edtOpNumNight->text();
        QVERIFY(!before.isEmpty());
        {
            TKillOnSend kill(rig.Unit->Pid(), "7755\r");
            typeNumber(QStringLiteral("7755"));
            rig.Window->btnOpNumNight->click();
            QVERIFY(rig.Settle());
            QVERIFY(kill.Fired());
        }
        QCOMPARE(rig.Sink.Log().mid(1), QStringList({"E: DirectorySet: parameter send error ", "E: SendGet: Bad Transactions",
                                                     "E: DirectoryGet: Reception error"}));
        QVERIFY(rig.RestartUnit());
        QVERIFY(rig.StaysUsable());
        QCOMPARE(rig.Window->edtOpNumNight->text(), before);
    }

    // The device goes away while nothing runs: the next action says the port
    // is gone, at once, and the window shows the disconnected state.
    void deviceGoneWhileIdle()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        QVERIFY(rig.KillUnit());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.ShowPage(rig.Window->tbsTime));
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(rig.Sink.Log(), QStringList({"P", rig.PortGone()}));
        QCOMPARE(rig.Window->Session()->Level, uint8_t(TAAMenu::lvOff));
        QVERIFY(rig.RestartUnit());
        QVERIFY(rig.StaysUsable());
    }

    // Stray bytes ahead of a reply make it unreadable: the read and the login
    // say what came, and nothing is taken from it.
    void garbageBeforeReplies()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.Fault("fault garbage on"));
        w.HolidayJob->State = TJoint1::Read;
        w.Session()->Submit(w.HolidayJob);
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Errors(), QStringList({QStringLiteral("NumberGet: parameter (%1): ").arg(w.HolidayJob->Code)
                                                 + UnitText(QByteArray("\0\xff\x7f=0\r", 6))}));
        w.btnDisconnect->click();
        QVERIFY(rig.Settle());
        rig.Sink.Clear();
        QVERIFY(!rig.Connect(QStringLiteral("1234")));
        QCOMPARE(rig.Sink.Errors(), QStringList({"Unknown response on password input"}));
        QVERIFY(rig.Fault("fault garbage off"));
        QVERIFY(rig.StaysUsable());
    }

    void singleByteBursts()
    {
        TFaultRig rig({QStringLiteral("--bytewise")});
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        QVERIFY(rig.ShowPage(rig.Window->tbsGreetings));
        QCOMPARE(rig.Window->sgGreetings->Cells(1, 2), QStringLiteral("night.pcm"));
        QCOMPARE(rig.Window->edtAdmPwd->text(), QStringLiteral("1111"));
        QCOMPARE(rig.Sink.Log(), QStringList({"P"}));
    }

    // The clock read waits 300 ms for its reply line, the shortest wait for a
    // reply; the write of a number 1000 ms for the unit's "=".
    void repliesHeldBackAroundTimeouts()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TClockRead clock;
        QVERIFY(rig.Fault("fault delay 200"));
        clock.Run(rig);
        QCOMPARE(clock.Job.ClockString.size(), 12);
        QCOMPARE(rig.Sink.Errors(), QStringList());

        QVERIFY(rig.Fault("fault delay 450"));
        clock.Run(rig);
        QCOMPARE(rig.Sink.Errors(), QStringList({"Time: Time-out on reply"}));
        QVERIFY(rig.Fault("fault delay 0"));
        // The late reply still comes; the next read is not confused by it.
        rig.Sink.Clear();
        clock.Run(rig);
        QCOMPARE(clock.Job.ClockString.size(), 12);
        QCOMPARE(rig.Sink.Errors(), QStringList());

        QVERIFY(rig.Fault("fault delay 700"));
        typeNumber(QStringLiteral("4321"));
        rig.Window->btnOpNumNight->click();
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Window->edtOpNumNight->text(), QStringLiteral("4321"));
        QCOMPARE(rig.Sink.Errors(), QStringList());

        QVERIFY(rig.Fault("fault delay 1300"));
        typeNumber(QStringLiteral("5678"));
        rig.Window->btnOpNumNight->click();
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Errors().value(0), QStringLiteral("DirectorySet: parameter (%1): unknown error or timeout")
                                                  .arg(rig.Window->OpNumNightJob->Code));
        QVERIFY(rig.Fault("fault delay 0"));
        QVERIFY(rig.StaysUsable());
        QCOMPARE(rig.Window->edtOpNumNight->text(), QStringLiteral("4321"));
    }
};

QTEST_MAIN(TestFaultsLine)
#include "test_faults_line.moc"
