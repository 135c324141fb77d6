// The eight kinds of single setting run as the pages run them: handed to the
// worker to edit or to read, their real dialogs answered as a user would, the
// scripted unit at the far end. What the unit receives, what the screen shows
// afterwards, and what is exported.
#include "GuiTestSupport.h"
#include "ParamUnit.h"
#include "settings/CheckJob.h"
#include "settings/ChoiceJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/NumberJobs.h"
#include "settings/TimeJob.h"
#include "ui/Choice.h"
#include "ui/Code.h"
#include "ui/Directory.h"
#include "ui/Number.h"
#include "ui/RadioGroup.h"
#include "ui/StringGrid.h"
#include "ui/Time.h"
#include "ui/UpDown.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimeEdit>
#include <QtTest>

using namespace TestSupport;

namespace {

// The job's cell (2, 1) in a grid, as the catalogue places it.
class TCell {
public:
    TCell(TJoint1& job, int code)
    {
        m_grid.SetColCount(3);
        m_grid.SetRowCount(2);
        job.Code = code;
        job.GridRef = &m_var;
        job.Col = 2;
        job.Row = 1;
    }
    QString Text() const { return m_grid.Cells(2, 1); }

private:
    TStringGrid m_grid;
    TStringGrid* m_var = &m_grid;
};

// Runs an edit whose dialog gets `answer` (then OK, unless it cancelled);
// returns what the unit received.
template <class D>
TLines edit(TParamRig& rig, TJoint& job, std::function<void(D*)> answer = {})
{
    AnswerNextModal<D>([answer](D* d) {
        if (answer)
            answer(d);
        if (d->isVisible())
            d->accept();
    });
    rig.Unit.TakeLines();
    return rig.Run(job, TJoint1::Edit) ? rig.Unit.TakeLines() : TLines{"the edit never ended"};
}

void clearText(TFormDirectory* d)
{
    d->Edit1->selectAll();
    QTest::keyClick(d->Edit1, Qt::Key_Backspace);
}

} // namespace

class TestScalarKinds : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        const QStringList problems = CloseLeftoverModals();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    void numberShowsWhatTheUnitKeptNotWhatWasTyped()
    {
        TParamRig rig;
        TNumber job;
        TCell cell(job, 13);
        job.Max = 24;
        rig.Unit.Set(13, "10", TFaults{.StoreInstead = QByteArray("20")});
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(cell.Text(), QStringLiteral("10"));
        int opened = -1;
        QCOMPARE(edit<TFormNumber>(rig, job, [&](TFormNumber* d) {
                     opened = d->UpDown1->value();
                     QCOMPARE(d->UpDown1->maximum(), 24);
                     d->UpDown1->setValue(22);
                 }),
                 TLines({"SET", "13", "22", "GET", "13"}));
        QCOMPARE(opened, 10);
        QCOMPARE(cell.Text(), QStringLiteral("20"));
        QCOMPARE(job.GetText(), QStringLiteral("20"));
    }

    // Also when the unit holds a value the dialog cannot show and it opens at
    // the nearest limit: OK on what nobody moved writes nothing.
    void numberUntouchedOrCancelledWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("moveThenCancel");
        QTest::addColumn<int>("opened");
        QTest::newRow("in range") << QByteArray("7") << 24 << false << 7;
        QTest::newRow("moved, cancelled") << QByteArray("7") << 24 << true << 7;
        QTest::newRow("above the limit") << QByteArray("500") << 250 << false << 250;
        QTest::newRow("beyond 16 bits") << QByteArray("70000") << 999 << false << 999;
        QTest::newRow("below the limit") << QByteArray("-3") << 24 << false << 0;
    }
    void numberUntouchedOrCancelledWritesNothing()
    {
        QFETCH(QByteArray, held);
        QFETCH(int, max);
        QFETCH(bool, moveThenCancel);
        QFETCH(int, opened);
        TParamRig rig;
        TNumber job;
        TCell cell(job, 16);
        job.Max = max;
        rig.Unit.Set(16, held);
        QVERIFY(rig.Run(job, TJoint1::Read));
        int shown = -1;
        QCOMPARE(edit<TFormNumber>(rig, job, [&](TFormNumber* d) {
                     shown = d->UpDown1->value();
                     if (moveThenCancel) {
                         d->UpDown1->stepUp();
                         d->reject();
                     }
                 }),
                 TLines());
        QCOMPARE(shown, opened);
        QCOMPARE(cell.Text(), QString::fromLatin1(held));
    }

    void directoryStarOnlyWhereAllowed()
    {
        for (const bool allowStar : {true, false}) {
            TParamRig rig;
            TDirectory job;
            TCell cell(job, 20);
            job.MaxLength = 24;
            job.StarAllowed = allowStar;
            QVERIFY(rig.Run(job, TJoint1::Read));
            QCOMPARE(cell.Text(), QStringLiteral("Не назначен"));
            const QByteArray sent = allowStar ? "1*23" : "123";
            QCOMPARE(edit<TFormDirectory>(rig, job, [](TFormDirectory* d) {
                         QTest::keyClicks(d->Edit1, QStringLiteral("1*2#3"));
                     }),
                     TLines({"SET", "20", sent, "GET", "20"}));
            QCOMPARE(cell.Text(), QString::fromLatin1(sent));
        }
    }

    void directoryLengthAndSameText()
    {
        TParamRig rig;
        TDirectory job;
        TCell cell(job, 0);
        job.MinLength = 1;
        job.MaxLength = 8;
        rig.Unit.Set(0, "1234567890"); // longer than the limit for typing
        QVERIFY(rig.Run(job, TJoint1::Read));
        QString opened;
        QCOMPARE(edit<TFormDirectory>(rig, job, [&](TFormDirectory* d) { opened = d->Edit1->text(); }), TLines());
        QCOMPARE(opened, QStringLiteral("1234567890"));

        QCOMPARE(edit<TFormDirectory>(rig, job, clearText), TLines());
        QCOMPARE(rig.Sink.Errors(), QStringList({"Число символов должно быть не менее 1."}));
        QCOMPARE(job.Value, QStringLiteral("1234567890"));

        QCOMPARE(edit<TFormDirectory>(rig, job, [](TFormDirectory* d) {
                     QTest::keyClick(d->Edit1, Qt::Key_Backspace);
                     QTest::keyClicks(d->Edit1, QStringLiteral("0"));
                 }),
                 TLines());

        job.MinLength = 0;
        QCOMPARE(edit<TFormDirectory>(rig, job, clearText), TLines({"SET", "0", "", "GET", "0"}));
        QCOMPARE(cell.Text(), QStringLiteral("Не назначен"));
        QCOMPARE(rig.Sink.Errors().size(), 1);
    }

    void directoryInAnEditField()
    {
        TParamRig rig;
        QLineEdit field;
        TVFDirectory job;
        job.Code = 101;
        QCOMPARE(job.GetText(), QStringLiteral("Не определен"));
        job.ValueEdit = &field;
        rig.Unit.Set(101, "5550101");
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(field.text(), QStringLiteral("5550101"));
        QCOMPARE(job.GetText(), QStringLiteral("5550101"));
    }

    void choiceWritesOnEveryOkAndRefusesUnknownValues()
    {
        TParamRig rig;
        TChoice job;
        TCell cell(job, 1);
        job.Choices = QStringList{"Нет ограничения", "Запрет настройки с телефона", "Запрет тонального набора"};
        rig.Unit.Set(1, "1");
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(cell.Text(), job.Choices[1]);
        QStringList items;
        int opened = -1;
        QCOMPARE(edit<TFormChoice>(rig, job, [&](TFormChoice* d) {
                     items = d->RadioGroup1->Items();
                     opened = d->RadioGroup1->ItemIndex();
                 }),
                 TLines({"SET", "1", "1", "GET", "1"}));
        QCOMPARE(items, job.Choices);
        QCOMPARE(opened, 1);
        QCOMPARE(edit<TFormChoice>(rig, job, [](TFormChoice* d) { ClickIndicator(d->RadioGroup1->Button(2)); }),
                 TLines({"SET", "1", "2", "GET", "1"}));

        // Past the list, and below it: refused, the index stays.
        for (const QByteArray& held : {QByteArray("3"), QByteArray("-1")}) {
            rig.Unit.Set(1, held);
            QVERIFY(rig.Run(job, TJoint1::Read));
            QCOMPARE(cell.Text(), job.Choices[2]);
        }
        QCOMPARE(rig.Sink.Errors(), QStringList(2, QStringLiteral("Choice: Invalid value received from device")));
    }

    void callCodeShownAsItsKey()
    {
        TParamRig rig;
        QLineEdit display;
        TVFCode job;
        job.Code = 100;
        QCOMPARE(job.GetText(), QStringLiteral("Не определен"));
        job.Display = &display;
        for (const auto& [held, shown] : QList<std::pair<QByteArray, QString>>{
                 {"0", "не назначен"}, {"7", "7"}, {"10", "0"}, {"11", "0"}, {"-1", "0"}}) {
            rig.Unit.Set(100, held);
            QVERIFY(rig.Run(job, TJoint1::Read));
            QCOMPARE(display.text(), shown);
        }
        QCOMPARE(rig.Sink.Errors(), QStringList(2, QStringLiteral("Incomprehensible: wrong code")));

        rig.Unit.Set(100, "10");
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(edit<TFormCode>(rig, job, [](TFormCode* d) { ClickIndicator(d->RadioButton[10]); }), TLines());
        QCOMPARE(edit<TFormCode>(rig, job, [](TFormCode* d) { ClickIndicator(d->RadioButton[3]); }),
                 TLines({"SET", "100", "3", "GET", "100"}));
        QCOMPARE(job.GetText(), QStringLiteral("3"));
    }

    void versionInTheStatusBar()
    {
        TParamRig rig;
        QLabel panel;
        TVersion job;
        job.Code = 999;
        job.StatusPanel = &panel;
        rig.Unit.Set(999, "10203");
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(panel.text(), QStringLiteral("Версия прошивки: 1.2.3"));
        QCOMPARE(job.GetText(), QStringLiteral("1.2.3"));
        // Read only: an edit ends at once without a word to the unit.
        rig.Unit.TakeLines();
        QVERIFY(rig.Run(job, TJoint1::Edit, 5000));
        QCOMPARE(rig.Unit.TakeLines(), TLines());
    }

    void timeOfDayBothWays()
    {
        TParamRig rig;
        TTimeDlg job;
        TCell cell(job, 111);
        rig.Unit.Set(111, "730");
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(cell.Text(), QStringLiteral("07:30"));
        QTime opened;
        QCOMPARE(edit<TFormTime>(rig, job, [&](TFormTime* d) { opened = d->DateTimePicker1->time(); }), TLines());
        QCOMPARE(opened, QTime(7, 30));
        QCOMPARE(edit<TFormTime>(rig, job, [](TFormTime* d) { d->DateTimePicker1->setTime(QTime(18, 5, 59)); }),
                 TLines({"SET", "111", "1805", "GET", "111"}));
        QCOMPARE(cell.Text(), QStringLiteral("18:05"));
    }

    // No time of day: shown as read; the picker opens at the nearest valid
    // time, and OK on it writes nothing.
    void timeThatIsNoTimeOfDay_data()
    {
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QTime>("opened");
        QTest::newRow("25:75") << QByteArray("2575") << "25:75" << QTime(23, 59);
        QTest::newRow("12:60") << QByteArray("1260") << "12:60" << QTime(12, 59);
        QTest::newRow("negative") << QByteArray("-130") << "-01:-30" << QTime(0, 0);
    }
    void timeThatIsNoTimeOfDay()
    {
        QFETCH(QByteArray, held);
        QFETCH(QString, shown);
        QFETCH(QTime, opened);
        TParamRig rig;
        TTimeDlg job;
        TCell cell(job, 124);
        rig.Unit.Set(124, held);
        QVERIFY(rig.Run(job, TJoint1::Read));
        QCOMPARE(cell.Text(), shown);
        QTime picker;
        QCOMPARE(edit<TFormTime>(rig, job, [&](TFormTime* d) { picker = d->DateTimePicker1->time(); }), TLines());
        QCOMPARE(picker, opened);
    }

    void checkBoxShowsWithoutWritingAndWritesOnlyZeroOrOne()
    {
        TParamRig rig;
        QCheckBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCheckBox* boxVar = &box;
        TCheck job;
        job.Code = 110;
        job.CheckBoxRef = &boxVar;
        int clicks = 0; // the page's handler: only an enabled box starts an edit
        connect(&box, &QCheckBox::toggled, this, [&] { clicks += box.isEnabled(); });
        rig.Unit.Set(110, "2");
        QVERIFY(rig.Run(job, TJoint1::Read));
        QVERIFY(box.isChecked() && box.isEnabled());
        QCOMPARE(clicks, 0);
        QCOMPARE(job.GetText(), QStringLiteral("Установлен"));

        rig.Unit.TakeLines();
        QVERIFY(rig.Run(job, TJoint1::Write)); // 2 is no value to write
        QCOMPARE(rig.Unit.TakeLines(), TLines({"GET", "110"}));

        for (const QByteArray written : {"0", "1"}) {
            ClickIndicator(&box);
            QVERIFY(rig.Run(job, TJoint1::Edit));
            QCOMPARE(rig.Unit.TakeLines(), TLines({"SET", "110", written, "GET", "110"}));
            QCOMPARE(box.isChecked(), written == "1");
        }
        QCOMPARE(clicks, 2);
        QCOMPARE(job.GetText(), QStringLiteral("Установлен"));
    }
};

QTEST_MAIN(TestScalarKinds)
#include "test_scalarkinds.moc"
