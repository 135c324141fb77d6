// The extension list job: reading (empty list, the PC-mode word after it),
// adding and removing numbers and ranges, the dialogs that send nothing, and
// the unit's refusals.
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

namespace {

const QByteArray Prompt = "PC LIST>";

// The unit's answers to a full read: the list, then the line after the PC-mode word.
void scriptRead(TScriptedUnit& unit, const QByteArray& lines)
{
    unit.On(Unit::GetAll, lines + Prompt);
    unit.On(Unit::AccessWord, "\r" + Prompt);
}

void typeNumber(const QString& number)
{
    AnswerNextModal<TFormDirectory>([number](TFormDirectory* d) {
        QTest::keyClicks(d->Edit1, number);
        d->btnOK->click();
    });
}

} // namespace

class TestListDlg : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        const QStringList problems = CloseLeftoverModals();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    void readsEmptyAndFullList()
    {
        TJobRig rig;
        QPlainTextEdit memo;
        memo.setPlainText(QStringLiteral("stale"));
        TListDlg job;
        job.TargetLines = &memo;

        scriptRead(rig.Unit, {});
        QVERIFY(rig.Run(job, 3));
        QCOMPARE(rig.Sink.Log(), QStringList());
        QCOMPARE(memo.toPlainText(), QString());
        QCOMPARE(job.GetText(), QString());
        QCOMPARE(rig.Unit.Received(), Unit::GetAll + Unit::AccessWord);

        scriptRead(rig.Unit, "101\r200-219\r");
        QVERIFY(rig.Run(job, 3));
        QCOMPARE(memo.toPlainText(), QStringLiteral("101\n200-219"));
        QCOMPARE(job.GetText(), QStringLiteral("101, 200-219"));
        QCOMPARE(rig.Unit.Pending(), 0);
    }

    void listKeptButNotShownWhenPcWordFails()
    {
        TJobRig rig;
        QPlainTextEdit memo;
        TListDlg job;
        job.TargetLines = &memo;
        rig.Unit.On(Unit::GetAll, "101\r" + Prompt, false);
        QVERIFY(rig.Run(job, 3));
        QCOMPARE(rig.Sink.Errors(), QStringList({"List (GETALL): No echo"}));
        QCOMPARE(job.List, QStringList({"101"}));
        QCOMPARE(memo.toPlainText(), QString());

        rig.Unit.SetEcho(true);
        rig.Sink.Clear();
        rig.Unit.On(Unit::GetAll, "102\r" + Prompt);
        QVERIFY(rig.Run(job, 3)); // the word is echoed, but no line follows it
        QCOMPARE(rig.Sink.Errors(), QStringList({"List (GETALL): No final reply"}));
        QCOMPARE(job.List, QStringList({"102"}));
    }

    void addsRangeAndRemovesNumberThenRereads()
    {
        TJobRig rig;
        QPlainTextEdit memo;
        TListDlg job;
        job.TargetLines = &memo;

        AnswerNextModal<TFormList2>([](TFormList2* d) {
            QTest::keyClicks(d->Edit1, QStringLiteral("200"));
            QTest::keyClicks(d->Edit2, QStringLiteral("219"));
            d->btnOK->click();
        });
        rig.Unit.On(Unit::Add, "N");
        rig.Unit.On("200-219\r", "OK\r" + Prompt);
        scriptRead(rig.Unit, "101\r200-219\r");
        QVERIFY(rig.Run(job, TListDlg::AddRange));
        QCOMPARE(rig.Unit.Received(), "ADD\r200-219\rGETALL\r" + Unit::AccessWord);
        QCOMPARE(memo.toPlainText(), QStringLiteral("101\n200-219"));

        rig.Unit.ClearReceived();
        typeNumber(QStringLiteral("101"));
        rig.Unit.On(Unit::Remove, "N");
        rig.Unit.On("101\r", "OK\r" + Prompt);
        scriptRead(rig.Unit, "200-219\r");
        QVERIFY(rig.Run(job, TListDlg::RemoveNumber));
        QCOMPARE(rig.Unit.Received(), "REMOVE\r101\rGETALL\r" + Unit::AccessWord);
        QCOMPARE(memo.toPlainText(), QStringLiteral("200-219"));
        QCOMPARE(rig.Sink.Log(), QStringList());
    }

    void cancelledOrUntouchedDialogsSendNothing()
    {
        TJobRig rig;
        TListDlg job;
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) {
            QTest::keyClicks(d->Edit1, QStringLiteral("5"));
            d->btnCancel->click();
        });
        QVERIFY(rig.Run(job, TListDlg::AddNumber));
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) { d->btnOK->click(); });
        QVERIFY(rig.Run(job, TListDlg::RemoveNumber));
        AnswerNextModal<TFormList2>([](TFormList2* d) {
            QTest::keyClicks(d->Edit1, QStringLiteral("200"));
            d->btnOK->click();
        });
        QVERIFY(rig.Run(job, TListDlg::RemoveRange));
        QVERIFY(WaitModalsAnswered());
        QCOMPARE(rig.Unit.Received(), QByteArray());
        QCOMPARE(job.State, 0);
    }

    void reportsEachRefusal()
    {
        TJobRig rig;
        TListDlg job;
        const struct {
            int State;
            QByteArray Command;
            QByteArray Reply;
            QString Error;
        } cases[] = {
            {TListDlg::AddNumber, Unit::Add, "ERROR", "List (ADD): Reply: ERROR"},
            {TListDlg::AddNumber, Unit::Add, "NO_FREE_MEM", "List (ADD): Reply: NO_FREE_MEM"},
            {TListDlg::AddNumber, Unit::Add, "OK?", "List (ADD): Unknown error"},
            {TListDlg::RemoveNumber, Unit::Remove, "ERROR", "List (REMOVE): Reply: ERROR"},
            {TListDlg::RemoveNumber, Unit::Remove, "NO_FREE_MEM", "List (REMOVE): Reply: NO_FREE_MEM"},
            {TListDlg::RemoveNumber, Unit::Remove, "", "List (REMOVE): Unknown error"},
        };
        for (const auto& c : cases) {
            rig.Sink.Clear();
            rig.Unit.ClearReceived();
            typeNumber(QStringLiteral("7"));
            rig.Unit.On(c.Command, "N");
            rig.Unit.On("7\r", c.Reply + "\r" + Prompt);
            QVERIFY(rig.Run(job, c.State));
            QCOMPARE(rig.Sink.Errors(), QStringList({c.Error}));
            QVERIFY(!rig.Unit.Received().contains(Unit::GetAll));
        }
    }

    void reportsSilence()
    {
        TJobRig rig;
        TListDlg job;
        typeNumber(QStringLiteral("7"));
        rig.Unit.On(Unit::Add, {}); // no number prompt
        QVERIFY(rig.Run(job, TListDlg::AddNumber));
        QCOMPARE(rig.Sink.Errors(), QStringList({"List (ADD): Time-out of number prompt"}));
        QVERIFY(!rig.Unit.Received().contains("7\r"));

        rig.Sink.Clear();
        rig.Unit.SetEcho(false);
        QVERIFY(rig.Run(job, 3));
        QCOMPARE(rig.Sink.Errors(), QStringList({"List: No echo at GETALL command"}));
    }
};

QTEST_MAIN(TestListDlg)
#include "test_listdlg.moc"
