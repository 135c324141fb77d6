// The voice-menu job: reading a menu into its grid row, writing it after one
// key was edited in the item dialog, the unit stopping a write, deleting and
// uploading its recording, and replies that must not be trusted.
#include "GuiTestSupport.h"
#include "ScriptedUnit.h"
#include "session/UnitDialog.h"
#include "settings/MenuDlg.h"
#include "ui/MenuItm.h"
#include "ui/StringGrid.h"
#include "ui/UpDown.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryFile>
#include <QtTest>

using namespace TestSupport;

namespace {

const QByteArray Items = "0-\r1M3\r2N101\r3-\r4L200\r5G200\r6\r7-\r8-\r9-\r";

void scriptRead(TScriptedUnit& unit, const QByteArray& head, const QByteArray& items = Items)
{
    unit.On(Unit::Get, "N");
    unit.On("5\r", head + items + "PC MENU>");
}

// The unit's side of a write: "TC", then each key's digit as its prompt.
void scriptWrite(TScriptedUnit& unit, const QList<QByteArray>& items, const QByteArray& final)
{
    unit.On(Unit::Set, "N");
    unit.On("5\r", "TC");
    unit.On("7\r", "0");
    for (int key = 0; key < items.size(); ++key)
        unit.On(items[key] + "\r", key + 1 < items.size() ? QByteArray::number(key + 1) : final);
}

struct TMenuRig {
    TJobRig Rig;
    TStringGrid Grid;
    TStringGrid* GridVar = &Grid;
    TMenuDlg Job;

    TMenuRig()
    {
        Grid.SetColCount(12);
        Grid.SetRowCount(7);
        Job.Code = 5;
        Job.GridRef = &GridVar;
        Job.Row = 6;
        Job.TC = 7;
        Job.Items = {"-", "M3", "N101", "-", "L200", "G200", "-", "-", "-", "-"};
    }
    QStringList Row() const
    {
        QStringList cells;
        for (int col = 1; col < 12; ++col)
            cells << Grid.Cells(col, 6);
        return cells;
    }
    QList<QByteArray> ItemList() const { return {Job.Items.begin(), Job.Items.end()}; }
};

} // namespace

class TestMenuDlg : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    void readsMenuIntoItsRow()
    {
        TMenuRig m;
        scriptRead(m.Rig.Unit, "TC=12\rMSG=\r");
        QVERIFY(m.Rig.Run(m.Job, TJoint1::Read));
        QCOMPARE(m.Rig.Sink.Log(), QStringList());
        QCOMPARE(m.Row(), QStringList({"не назначен", "-", "M3", "N101", "-", "L200", "G200", "", "-", "-", "-"}));
        QCOMPARE(m.Job.TC, 12);
        QVERIFY(m.Job.GetText().startsWith(QStringLiteral("Файл: не назначен\r\nДействие на 0: -\r\n")));
        QVERIFY(m.Job.GetText().endsWith(QStringLiteral("Действие на 9: -\r\n")));

        scriptRead(m.Rig.Unit, "TC=12\rMSG=m5 7\r");
        QVERIFY(m.Rig.Run(m.Job, TJoint1::Read));
        QCOMPARE(m.Job.FileName, QStringLiteral("m5"));
        QCOMPARE(m.Job.Length, 7);
        QCOMPARE(m.Row().first(), QStringLiteral("m5"));
    }

    void untrustedRepliesStopTheReadWithoutShowingIt()
    {
        TMenuRig m;
        const std::pair<QByteArray, QString> cases[] = {
            {"TC=99999999999\rMSG=\r", "Menu (GET): Incorrect number format (TC), parameter: 5"},
            {"TC=1\rMSG=abc\r", "Menu (GET): Incorrect length format, parameter: 5"},
            {"TC=1\rMSX\r", "Menu (GET): Can't find MSG="},
            {"TC=1\rMSG=\r0-\r2-\r", "Menu (GET): Can't find item number"},
        };
        for (const auto& [head, error] : cases) {
            m.Rig.Sink.Clear();
            scriptRead(m.Rig.Unit, head, {});
            QVERIFY(m.Rig.Run(m.Job, TJoint1::Read));
            QCOMPARE(m.Rig.Sink.Errors(), QStringList({error}));
            QCOMPARE(m.Row().first(), QString()); // nothing shown
        }
    }

    void keyChangedToTransferWritesAllItemsAndRereads()
    {
        TMenuRig m;
        AnswerNextModal<TFormMenuItm>([](TFormMenuItm* d) {
            QVERIFY(d->rbNone->isChecked());
            QVERIFY(d->rbMsgLeave->isHidden() && d->rbMsgGet->isHidden());
            ClickIndicator(d->rbXfer);
            QTest::keyClicks(d->edtExt, QStringLiteral("101"));
            d->btnOK->click();
        });
        QList<QByteArray> sent = m.ItemList();
        sent[3] = "N101";
        scriptWrite(m.Rig.Unit, sent, "OK\r");
        scriptRead(m.Rig.Unit, "TC=7\rMSG=\r", "0-\r1M3\r2N101\r3N101\r4L200\r5G200\r6-\r7-\r8-\r9-\r");
        m.Job.EditedKey = 3;
        QVERIFY(m.Rig.Run(m.Job, TMenuDlg::EditKey));
        QCOMPARE(m.Rig.Sink.Log(), QStringList());
        QCOMPARE(m.Rig.Unit.Received(), "SET\r5\r7\r" + sent.join('\r') + "\rGET\r5\r");
        QCOMPARE(m.Row()[4], QStringLiteral("N101"));

        // The menu action takes udMenu's number.
        AnswerNextModal<TFormMenuItm>([](TFormMenuItm* d) {
            ClickIndicator(d->rbMenu);
            d->udMenu->setValue(12);
            d->btnOK->click();
        });
        sent = m.ItemList();
        sent[0] = "M12";
        scriptWrite(m.Rig.Unit, sent, "ERROR\r");
        m.Job.EditedKey = 0;
        QVERIFY(m.Rig.Run(m.Job, TMenuDlg::EditKey));
        QCOMPARE(m.Rig.Sink.Errors(), QStringList({"Menu (SET): Final reply: 'ERROR'"}));
        QCOMPARE(m.Rig.Unit.Pending(), 0);
    }

    void unreadableOrEmptyItemOpensWithNone()
    {
        TMenuRig m;
        m.Job.Items[2] = "X9";
        m.Job.Items[6] = "";
        for (int key : {2, 6}) {
            bool none = false;
            AnswerNextModal<TFormMenuItm>([&none](TFormMenuItm* d) {
                none = d->rbNone->isChecked();
                d->btnCancel->click();
            });
            m.Job.EditedKey = key;
            QVERIFY(m.Rig.Run(m.Job, TMenuDlg::EditKey));
            QVERIFY(none);
        }
        QCOMPARE(m.Rig.Sink.Errors(), QStringList({"Wrong item information !"}));
        QCOMPARE(m.Rig.Unit.Received(), QByteArray());
    }

    void errorInsteadOfKeyPromptStopsTheWrite()
    {
        TMenuRig m;
        QList<QByteArray> items = m.ItemList().mid(0, 5);
        scriptWrite(m.Rig.Unit, items, "ERROR\r");
        QVERIFY(m.Rig.Run(m.Job, TJoint1::Write));
        QCOMPARE(m.Rig.Sink.Errors(), QStringList({"Menu (SET): 'ERROR' instead of item prompt"}));
        QCOMPARE(m.Rig.Unit.Received(), "SET\r5\r7\r" + items.join('\r') + "\r");

        m.Rig.Sink.Clear();
        scriptWrite(m.Rig.Unit, m.ItemList(), "FINE\r");
        QVERIFY(m.Rig.Run(m.Job, TJoint1::Write));
        QCOMPARE(m.Rig.Sink.Errors(), QStringList({"Menu (SET):Unknown final reply"}));
    }

    void deleteUploadAndDownloadRequests()
    {
        TMenuRig m;
        int hookCalls = 0;
        m.Job.TransferStartHook = [&hookCalls] { ++hookCalls; };
        QVERIFY(m.Rig.Run(m.Job, TMenuDlg::DeleteFile)); // nothing recorded: nothing asked
        m.Job.FileName = QStringLiteral("m5");
        m.Rig.Sink.QueueConfirm(true);
        m.Rig.Unit.On(Unit::DeleteMsg, "N");
        m.Rig.Unit.On("5\r", "OK\r");
        scriptRead(m.Rig.Unit, "TC=7\rMSG=\r");
        QVERIFY(m.Rig.Run(m.Job, TMenuDlg::DeleteFile));
        QCOMPARE(m.Row().first(), QStringLiteral("не назначен"));
        QTemporaryFile local; // an upload is announced only for a file that can be sent
        QVERIFY(local.open() && local.write("v") == 1 && local.flush());
        m.Job.LocalFilePath = local.fileName();
        m.Rig.Unit.On(Unit::UploadMsg, "N");
        m.Rig.Unit.On("5\r", {});
        QVERIFY(m.Rig.Run(m.Job, TMenuDlg::UploadFile));
        QCOMPARE(m.Rig.Unit.Received(), "DELMSG\r5\rGET\r5\rULMSG\r5\r");
        QCOMPARE(hookCalls, 1);
        QCOMPARE(m.Rig.Sink.Log(), QStringList({"Q: Удалить файл: m5 из меню 5 ?"}));

        // A failed download request is reported, not passed over in silence.
        m.Rig.Unit.SetEcho(false);
        QVERIFY(m.Rig.Run(m.Job, TMenuDlg::DownloadFile));
        QCOMPARE(m.Rig.Sink.Errors(), QStringList({"File (DLMSG): No echo at command"}));
        QCOMPARE(hookCalls, 1);
    }
};

QTEST_MAIN(TestMenuDlg)
#include "test_menudlg.moc"
