// The extension list job: reading (empty list, the PC-mode word after it),
// adding and removing numbers and ranges, dialogs that send nothing, and the
// unit's refusals.
#include "GuiTestSupport.h"
#include "ScriptedUnit.h"
#include "session/UnitDialog.h"
#include "settings/ListDlg.h"
#include "ui/Directory.h"
#include "ui/List2.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace TestSupport;

namespace {

const QByteArray Prompt = "PC LIST>";

// A full read: the list up to the prompt, then a line after the PC-mode word.
void scriptRead(TScriptedUnit& unit, const QByteArray& lines)
{
    unit.On(Unit::GetAll, lines + Prompt);
    unit.On(Unit::AccessWord, "\r" + Prompt);
}

template <class D>
void answer(const QString& first, const QString& last = {}, bool ok = true)
{
    AnswerNextModal<D>([=](D* d) {
        QTest::keyClicks(d->Edit1, first);
        if constexpr (std::is_same_v<D, TFormList2>)
            QTest::keyClicks(d->Edit2, last);
        (ok ? d->btnOK : d->btnCancel)->click();
    });
}

} // namespace

class TestListDlg : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    void readsEmptyAndFullList()
    {
        TJobRig rig;
        QPlainTextEdit memo(QStringLiteral("stale"));
        TListDlg job;
        job.TargetLines = &memo;
        scriptRead(rig.Unit, {});
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(memo.toPlainText(), QString());
        QCOMPARE(job.GetText(), QString());
        QCOMPARE(rig.Unit.Received(), Unit::GetAll + Unit::AccessWord);

        scriptRead(rig.Unit, "101\r200-219\r");
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(memo.toPlainText(), QStringLiteral("101\n200-219"));
        QCOMPARE(job.GetText(), QStringLiteral("101, 200-219"));
        QCOMPARE(rig.Sink.Log(), QStringList());
    }

    void failedPcWordKeepsListUnshown()
    {
        TJobRig rig;
        QPlainTextEdit memo;
        TListDlg job;
        job.TargetLines = &memo;
        rig.Unit.On(Unit::GetAll, "101\r" + Prompt, false);
        QVERIFY(rig.Run(job, TJoint1::Read));
        rig.Unit.SetEcho(true);
        rig.Unit.On(Unit::GetAll, "102\r" + Prompt); // the word is echoed, no line follows
        QVERIFY(rig.Run(job, TJoint1::Read));
        rig.Unit.SetEcho(false);
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(rig.Sink.Errors(), QStringList({"List (GETALL): No echo", "List (GETALL): No final reply",
                                                 "List: No echo at GETALL command"}));
        QCOMPARE(job.List, QStringList({"102"}));
        QCOMPARE(memo.toPlainText(), QString());
    }

    void changesAreFollowedByAFullRead()
    {
        TJobRig rig;
        QPlainTextEdit memo;
        TListDlg job;
        job.TargetLines = &memo;
        answer<TFormList2>(QStringLiteral("200"), QStringLiteral("219"));
        rig.Unit.On(Unit::Add, "N");
        rig.Unit.On("200-219\r", "OK\r" + Prompt);
        scriptRead(rig.Unit, "101\r200-219\r");
        QVERIFY(rig.Run(job, TListDlg::AddRange));
        answer<TFormDirectory>(QStringLiteral("101"));
        rig.Unit.On(Unit::Remove, "N");
        rig.Unit.On("101\r", "OK\r" + Prompt);
        scriptRead(rig.Unit, "200-219\r");
        QVERIFY(rig.Run(job, TListDlg::RemoveNumber));
        QCOMPARE(rig.Unit.Received(), "ADD\r200-219\rGETALL\r" + Unit::AccessWord + "REMOVE\r101\rGETALL\r"
                     + Unit::AccessWord);
        QCOMPARE(memo.toPlainText(), QStringLiteral("200-219"));
        QCOMPARE(rig.Sink.Log(), QStringList());
    }

    void cancelledOrUntouchedDialogsSendNothing()
    {
        TJobRig rig;
        TListDlg job;
        answer<TFormDirectory>(QStringLiteral("5"), {}, false);
        QVERIFY(rig.Run(job, TListDlg::AddNumber));
        answer<TFormDirectory>({});
        QVERIFY(rig.Run(job, TListDlg::RemoveNumber));
        answer<TFormList2>(QStringLiteral("200"), {});
        QVERIFY(rig.Run(job, TListDlg::RemoveRange));
        QCOMPARE(rig.Unit.Received(), QByteArray());
    }

    void reportsEachRefusal()
    {
        TJobRig rig;
        TListDlg job;
        const struct {
            int State;
            QByteArray Command, Reply;
            QString Error;
        } cases[] = {
            {TListDlg::AddNumber, Unit::Add, "ERROR\r", "List (ADD): Reply: ERROR"},
            {TListDlg::AddNumber, Unit::Add, "NO_FREE_MEM\r", "List (ADD): Reply: NO_FREE_MEM"},
            {TListDlg::AddNumber, Unit::Add, "OK?\r", "List (ADD): Unknown error"},
            {TListDlg::RemoveNumber, Unit::Remove, "ERROR\r", "List (REMOVE): Reply: ERROR"},
            {TListDlg::RemoveNumber, Unit::Remove, "NO_FREE_MEM\r", "List (REMOVE): Reply: NO_FREE_MEM"},
            {TListDlg::RemoveNumber, Unit::Remove, "\r", "List (REMOVE): Unknown error"},
            {TListDlg::RemoveNumber, Unit::Remove, {}, "List (REMOVE): No reply"},
        };
        for (const auto& c : cases) {
            rig.Sink.Clear();
            answer<TFormDirectory>(QStringLiteral("7"));
            rig.Unit.On(c.Command, "N");
            rig.Unit.On("7\r", c.Reply + Prompt);
            QVERIFY(rig.Run(job, c.State));
            QCOMPARE(rig.Sink.Errors(), QStringList({c.Error}));
        }
        QVERIFY(!rig.Unit.Received().contains(Unit::GetAll));
    }
};

QTEST_MAIN(TestListDlg)
#include "test_listdlg.moc"
