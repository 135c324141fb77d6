// The mailbox job: reading the list (none, some, more than the table holds,
// lines that cannot be trusted), creating, editing and deleting with each
// refusal of the unit, and the grid rows that select nothing.
#include "GuiTestSupport.h"
#include "ScriptedUnit.h"
#include "session/UnitDialog.h"
#include "settings/MailDlg.h"
#include "ui/MailAdd.h"
#include "ui/RadioGroup.h"
#include "ui/StringGrid.h"
#include "ui/UpDown.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace TestSupport;

namespace {

const QByteArray TwoBoxes = "N=101 S=900\rN=202 S=725\rFREE=725\r";

void scriptRead(TScriptedUnit& unit, const QByteArray& lines)
{
    unit.On(Unit::GetAll, lines + "PC MAIL>");
}

struct TMailRig {
    TJobRig Rig;
    TStringGrid Grid;
    TStringGrid* GridVar = &Grid;
    QLineEdit FreeSpace;
    TMailDlg Job;

    TMailRig()
    {
        Grid.SetColCount(2);
        Grid.SetRowCount(16);
        Job.GridRef = &GridVar;
        Job.FreeSpaceField = &FreeSpace;
    }
    // Reads the two mailboxes in, as the page does before anything else.
    bool Load()
    {
        scriptRead(Rig.Unit, TwoBoxes);
        const bool done = Rig.Run(Job, TJoint1::Read);
        Rig.Unit.ClearReceived();
        return done && Job.Count == 2;
    }
};

} // namespace

class TestMailDlg : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    void readsMailboxesAndFreeSpace()
    {
        TMailRig m;
        QVERIFY(m.Load());
        QCOMPARE(m.Grid.RowCount(), 3);
        QCOMPARE(m.Grid.Cells(0, 2), QStringLiteral("202"));
        QCOMPARE(m.Grid.Cells(1, 2), QStringLiteral("12:05"));
        QCOMPARE(m.FreeSpace.text(), QStringLiteral("12:05"));
        QCOMPARE(m.Job.GetText(), QStringLiteral("101: 15:00\r\n202: 12:05\r\n"));

        scriptRead(m.Rig.Unit, "FREE=3600\r");
        QVERIFY(m.Rig.Run(m.Job, TJoint1::Read));
        QCOMPARE(m.Grid.RowCount(), 2);
        QCOMPARE(m.Grid.Cells(0, 1), QString());
        QCOMPARE(m.Grid.Cells(1, 1), QString());
        QCOMPARE(m.FreeSpace.text(), QStringLiteral("60:00"));
        QCOMPARE(m.Job.GetText(), QStringLiteral("почтовые ящики отсутствуют"));
        QCOMPARE(m.Rig.Sink.Log(), QStringList());
    }

    void untrustedLinesStopTheReadAndKeepTheList()
    {
        TMailRig m;
        QVERIFY(m.Load());
        QByteArray sixteen;
        for (int i = 0; i < 16; ++i)
            sixteen += "N=" + QByteArray::number(300 + i) + " S=60\r";
        const std::pair<QByteArray, QString> cases[] = {
            {sixteen + "FREE=0\r", "Mail: Eror parsing string"},
            {"N= S=60\r", "Mail: Eror parsing string"},
            {"N=101\r", "Mail: Eror parsing string"},
            {"N=101 S=99999999999\r", "Mail: Incorrect size format"},
            {"FREE=-1\r", "Mail: Incorrect size format"},
            {"garbage\r", "Mail: Unable to find FREE= or N="},
        };
        for (const auto& [lines, error] : cases) {
            m.Rig.Sink.Clear();
            scriptRead(m.Rig.Unit, lines);
            QVERIFY(m.Rig.Run(m.Job, TJoint1::Read));
            QCOMPARE(m.Rig.Sink.Errors(), QStringList({error}));
            QCOMPARE(m.Grid.RowCount(), 3);
            QCOMPARE(m.Grid.Cells(0, 1), QStringLiteral("101"));
            // What a delete or edit would act on is still what the grid shows.
            QCOMPARE(m.Job.Count, 2);
            QCOMPARE(m.Job.Mailboxes[0].Owner, QStringLiteral("101"));
            QCOMPARE(m.Job.Mailboxes[0].Size, 900);
        }
        // A line without its size keeps the size the entry had.
        scriptRead(m.Rig.Unit, "N=101 X\rFREE=5\r");
        QVERIFY(m.Rig.Run(m.Job, TJoint1::Read));
        QCOMPARE(m.Job.Count, 1);
        QCOMPARE(m.Grid.Cells(1, 1), QStringLiteral("15:00"));
    }

    void createsWithMinutesAsSecondsThenRereads()
    {
        TMailRig m;
        AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Создание ящика"));
            QCOMPARE(d->udSize->value(), 15);
            QVERIFY(d->rgAnnMode->isHidden());
            QTest::keyClicks(d->edtOwner, QStringLiteral("303"));
            d->btnOK->click();
        });
        m.Rig.Unit.On(Unit::Create, "N");
        m.Rig.Unit.On("303\r", "S");
        m.Rig.Unit.On("900\r", "OK\r");
        scriptRead(m.Rig.Unit, "N=303 S=900\rFREE=0\r");
        QVERIFY(m.Rig.Run(m.Job, TMailDlg::CreateBox));
        QCOMPARE(m.Rig.Sink.Log(), QStringList());
        QCOMPARE(m.Rig.Unit.Received(), "CREATE\r303\r900\rGETALL\r");
        QCOMPARE(m.Grid.Cells(0, 1), QStringLiteral("303"));
    }

    void createRefusals()
    {
        TMailRig m;
        const struct {
            QByteArray AfterPrompt, AfterOwner, Final;
            QString Error;
            bool OwnerSent;
        } cases[] = {
            {"O_FREE_BOX\r", {}, {}, "Число почтовых ящиков максимально", false},
            {"O_SUCH\r", {}, {}, "Mail: Unknown reply from device", false},
            {{}, "ERROR\r", {}, "Mail: reply from device: ERROR", true},
            {{}, "WHAT\r", {}, "Mail: Unknown reply from device", true},
            {{}, "S", "ERROR\r", "Mail: reply at the end of command: ERROR", true},
            {{}, "S", "NO_FREE_MEM\r", "Недостаточно свободной памяти для создания ящика", true},
            {{}, "S", "HUH\r", "Mail: Unknown reply at the end of command", true},
        };
        for (const auto& c : cases) {
            m.Rig.Sink.Clear();
            m.Rig.Unit.ClearReceived();
            AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
                QTest::keyClicks(d->edtOwner, QStringLiteral("303"));
                d->btnOK->click();
            });
            m.Rig.Unit.On(Unit::Create, "N" + c.AfterPrompt);
            if (c.OwnerSent)
                m.Rig.Unit.On("303\r", c.AfterOwner);
            if (!c.Final.isEmpty())
                m.Rig.Unit.On("900\r", c.Final);
            QVERIFY(m.Rig.Run(m.Job, TMailDlg::CreateBox));
            QCOMPARE(m.Rig.Sink.Errors(), QStringList({c.Error}));
            QCOMPARE(m.Rig.Unit.Received().contains("303"), c.OwnerSent);
            QVERIFY(!m.Rig.Unit.Received().contains(Unit::GetAll));
        }
    }

    void editsTheCurrentRowsMailbox()
    {
        TMailRig m;
        QVERIFY(m.Load());
        m.Grid.SetCurrent(1, 2);
        AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Параметры ящика"));
            QCOMPARE(d->edtOwner->text(), QStringLiteral("202"));
            QVERIFY(!d->edtOwner->isEnabled());
            QCOMPARE(d->udSize->value(), 12);
            d->udSize->setValue(20);
            d->btnOK->click();
        });
        m.Rig.Unit.On(Unit::Edit, "N");
        m.Rig.Unit.On("202\r", "S");
        m.Rig.Unit.On("1200\r", "OK\r");
        scriptRead(m.Rig.Unit, "N=101 S=900\rN=202 S=1200\rFREE=0\r");
        QVERIFY(m.Rig.Run(m.Job, TMailDlg::EditBox));
        QCOMPARE(m.Rig.Unit.Received(), "EDIT\r202\r1200\rGETALL\r");
        QCOMPARE(m.Grid.Cells(1, 2), QStringLiteral("20:00"));
        QCOMPARE(m.Rig.Sink.Log(), QStringList());
    }

    void deletesWithConfirmationAndRefusals()
    {
        TMailRig m;
        QVERIFY(m.Load());
        m.Grid.SetCurrent(0, 1);
        m.Rig.Sink.QueueConfirm(true);
        m.Rig.Unit.On(Unit::Delete, "N");
        m.Rig.Unit.On("101\r", "OK\r");
        scriptRead(m.Rig.Unit, "N=202 S=725\rFREE=900\r");
        QVERIFY(m.Rig.Run(m.Job, TMailDlg::DeleteBox));
        QCOMPARE(m.Rig.Sink.Log(), QStringList({"Q: Удалить ящик 101?"}));
        QCOMPARE(m.Rig.Unit.Received(), "DELETE\r101\rGETALL\r");
        QCOMPARE(m.Grid.RowCount(), 2);

        for (const auto& [reply, error] : {std::pair<QByteArray, QString>{"NOT_FOUND", "Mail: Untypical error: NOT_FOUND"},
                                           {"ERROR", "Mail: Unknown reply from device"}}) {
            m.Rig.Sink.Clear();
            m.Rig.Sink.QueueConfirm(true);
            m.Rig.Unit.On(Unit::Delete, "N");
            m.Rig.Unit.On("202\r", reply + "\r");
            QVERIFY(m.Rig.Run(m.Job, TMailDlg::DeleteBox));
            QCOMPARE(m.Rig.Sink.Errors(), QStringList({error}));
        }
    }

    void headerOrEmptyRowSelectsNothing()
    {
        TMailRig m;
        QVERIFY(m.Load());
        m.Grid.SetRowCount(4);
        for (int row : {0, 3}) {
            m.Grid.setCurrentCell(row - 1, 0);
            QVERIFY(m.Rig.Run(m.Job, TMailDlg::DeleteBox));
            QVERIFY(m.Rig.Run(m.Job, TMailDlg::EditBox));
        }
        QCOMPARE(m.Rig.Sink.Log(), QStringList());
        QCOMPARE(m.Rig.Unit.Received(), QByteArray());
    }
};

QTEST_MAIN(TestMailDlg)
#include "test_maildlg.moc"
