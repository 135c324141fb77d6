// The settings jobs end to end against the emulated unit: each reads what the
// unit holds, changes it and reads the change back, with no box raised.
#include "GuiTestSupport.h"
#include "ScriptedUnit.h"
#include "UnitClient.h"
#include "session/UnitDialog.h"
#include "settings/ClockJob.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/MenuDlg.h"
#include "settings/VoiceFile.h"
#include "ui/Directory.h"
#include "ui/List2.h"
#include "ui/MailAdd.h"
#include "ui/MenuItm.h"
#include "ui/StringGrid.h"
#include "ui/UpDown.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTemporaryFile>
#include <QtTest>

using namespace TestSupport;

namespace {

// Logs in with the system password and enters one menu, as the session will.
class TEnterMenu : public TJoint {
public:
    explicit TEnterMenu(int mode) : m_menu(Unit::Menu(mode)) {}
    bool Reached = false;

    bool Process() override
    {
        TFormComm* comm = FormComm();
        for (int i = 0; i < Unit::WakeCancelCount; ++i)
            comm->Send(Unit::WakeCancel);
        for (int i = 0; i < Unit::WakeReturnCount; ++i)
            comm->Send(Unit::WakeReturn);
        comm->SendAndWaitEcho(Unit::AccessWord, 1000);
        Reached = comm->SendAndWaitEcho(Unit::Return, 1000) == wrFound
            && comm->WaitForText(Unit::PasswordPrompt, 1000) == wrFound
            && comm->SendAndWaitEcho("1234\r", 2000) == wrFound
            && comm->WaitForText(Unit::SystemMode, 2000) == wrFound
            && comm->SendAndWaitEcho(Unit::EnterPC, 2000) == wrFound
            && comm->WaitForText(Unit::Menu(Unit::umPC)->Prompt, 2000) == wrFound
            && comm->SendAndWaitEcho(m_menu->Enter, 2000) == wrFound
            && comm->WaitForText(m_menu->Prompt, 2000) == wrFound;
        return true;
    }

private:
    const Unit::TUnitMenu* m_menu;
};

struct TUnitRig {
    explicit TUnitRig(int mode)
    {
        TEnterMenu enter(mode);
        Entered = !Unit.Pty().isEmpty() && Runner.Run(enter, 1) && enter.Reached;
    }
    TUnitProcess Unit{{"--baud", "0", "--transfer-timeout", "1000", "--result-delay", "100"}};
    TJobRunner Runner{Unit.Pty()};
    bool Entered = false;
};

} // namespace

class TestJobsUnit : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    void extensionList()
    {
        TUnitRig rig(Unit::umList);
        QVERIFY(rig.Entered);
        QPlainTextEdit memo;
        TListDlg job;
        job.TargetLines = &memo;
        QVERIFY(rig.Runner.Run(job, TJoint1::Read));
        QVERIFY(job.List.contains(QStringLiteral("200-219")));
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) {
            QTest::keyClicks(d->Edit1, QStringLiteral("300"));
            d->btnOK->click();
        });
        QVERIFY(rig.Runner.Run(job, TListDlg::AddNumber));
        QVERIFY(memo.toPlainText().split('\n').contains(QStringLiteral("300")));
        AnswerNextModal<TFormList2>([](TFormList2* d) {
            QTest::keyClicks(d->Edit1, QStringLiteral("200"));
            QTest::keyClicks(d->Edit2, QStringLiteral("219"));
            d->btnOK->click();
        });
        QVERIFY(rig.Runner.Run(job, TListDlg::RemoveRange));
        QVERIFY(!job.List.contains(QStringLiteral("200-219")));
        QCOMPARE(rig.Runner.Sink.Log(), QStringList());
    }

    void mailboxes()
    {
        TUnitRig rig(Unit::umMail);
        QVERIFY(rig.Entered);
        TStringGrid grid;
        grid.SetColCount(2);
        TStringGrid* gridVar = &grid;
        QLineEdit free;
        TMailDlg job;
        job.GridRef = &gridVar;
        job.FreeSpaceField = &free;
        QVERIFY(rig.Runner.Run(job, TJoint1::Read));
        QCOMPARE(job.GetText(), QStringLiteral("101: 15:00\r\n102: 10:00\r\n"));
        QCOMPARE(free.text(), QStringLiteral("35:00"));

        AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
            QTest::keyClicks(d->edtOwner, QStringLiteral("303"));
            d->btnOK->click();
        });
        QVERIFY(rig.Runner.Run(job, TMailDlg::CreateBox));
        QCOMPARE(grid.Cells(1, 3), QStringLiteral("15:00"));
        grid.SetCurrent(0, 3);
        AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
            d->udSize->setValue(5);
            d->btnOK->click();
        });
        QVERIFY(rig.Runner.Run(job, TMailDlg::EditBox));
        QCOMPARE(free.text(), QStringLiteral("30:00"));
        rig.Runner.Sink.QueueConfirm(true);
        QVERIFY(rig.Runner.Run(job, TMailDlg::DeleteBox));
        QCOMPARE(job.Count, 2);
        QCOMPARE(rig.Runner.Sink.Log(), QStringList({"Q: Удалить ящик 303?"}));
    }

    void voiceMenu()
    {
        TUnitRig rig(Unit::umMenu);
        QVERIFY(rig.Entered);
        TStringGrid grid;
        grid.SetColCount(12);
        grid.SetRowCount(2);
        TStringGrid* gridVar = &grid;
        TMenuDlg job;
        job.Code = 3;
        job.GridRef = &gridVar;
        job.Row = 1;
        QVERIFY(rig.Runner.Run(job, TJoint1::Read));
        AnswerNextModal<TFormMenuItm>([](TFormMenuItm* d) {
            ClickIndicator(d->rbXfer);
            QTest::keyClicks(d->edtExt, QStringLiteral("101"));
            d->btnOK->click();
        });
        job.EditedKey = 9;
        QVERIFY(rig.Runner.Run(job, TMenuDlg::EditKey));
        QCOMPARE(grid.Cells(11, 1), QStringLiteral("N101"));
        job.Items[9].clear(); // the read must bring it back from the unit
        QVERIFY(rig.Runner.Run(job, TJoint1::Read));
        QCOMPARE(job.Items[9], QByteArray("N101"));
        QCOMPARE(rig.Runner.Sink.Log(), QStringList());
    }

    void clock()
    {
        TUnitRig rig(Unit::umTime);
        QVERIFY(rig.Entered);
        QTimeEdit picker;
        QCalendarWidget calendar;
        TClock job;
        job.TimePicker = &picker;
        job.Calendar = &calendar;
        job.ClockString = TClock::MakeClockString(QDate(2009, 3, 5), QTime(7, 8, 9));
        QVERIFY(rig.Runner.Run(job, TJoint1::Write));
        QVERIFY(rig.Runner.Run(job, TJoint1::Read));
        QCOMPARE(rig.Runner.Sink.Log(), QStringList());
        QCOMPARE(calendar.selectedDate(), QDate(2009, 3, 5));
        QVERIFY(picker.time() >= QTime(7, 8, 9) && picker.time() < QTime(7, 9));
    }

    void voiceFiles()
    {
        TUnitRig rig(Unit::umSys);
        QVERIFY(rig.Entered);
        TStringGrid grid;
        grid.SetColCount(4);
        grid.SetRowCount(2);
        TStringGrid* gridVar = &grid;
        TFile job;
        job.Code = 60;
        job.GridRef = &gridVar;
        job.Col = 1;
        job.Row = 1;
        QVERIFY(rig.Runner.Run(job, TJoint1::Read));
        QVERIFY(!job.FileName.isEmpty() && job.Length > 0);
        rig.Runner.Sink.QueueConfirm(true);
        QVERIFY(rig.Runner.Run(job, TFile::DeleteFile));
        QCOMPARE(grid.Cells(1, 1), QStringLiteral("Не записано"));
        QCOMPARE(rig.Runner.Sink.Errors(), QStringList());

        // An upload the program never sends: the unit gives up and says so.
        bool started = false;
        job.TransferStartHook = [&started] { started = true; };
        QTemporaryFile local; // an upload is announced only for a file that can be sent
        QVERIFY(local.open() && local.write("v") == 1 && local.flush());
        job.LocalFilePath = local.fileName();
        QVERIFY(rig.Runner.Run(job, TFile::UploadFile));
        QVERIFY(started);
        QVERIFY(rig.Runner.Run(job, TFile::ReadResult));
        QCOMPARE(rig.Runner.Sink.Errors(), QStringList({"YMODEM: error 3"}));
        QCOMPARE(grid.Cells(1, 1), QStringLiteral("Не записано"));
    }
};

QTEST_MAIN(TestJobsUnit)
#include "test_jobs_unit.moc"
