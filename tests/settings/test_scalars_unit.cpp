// End to end: the kinds against the emulated unit, logged in to its system
// menu, at the line's real pace. Both sides were written separately from the
// unit's formats, so this is where a misreading of them shows; the unit also
// refuses values of its own accord, and the screen must then show what it kept.
#include "GuiTestSupport.h"
#include "ScriptedUnit.h"
#include "UnitClient.h"
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

class TestScalarsOnTheUnit : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        const QStringList problems = CloseLeftoverModals();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    void editsReachTheUnitAndComeBack()
    {
        TUnitProcess unit({});
        QVERIFY(!unit.Pty().isEmpty());
        QVERIFY(TLine(unit.Pty()).LoginTo("1234", "SYS")); // the unit stays in its system menu
        TJobRunner runner(unit.Pty());
        auto run = [&](TJoint1& job, int state) {
            job.Mode = Unit::umSys;
            return runner.Run(job, state);
        };
        TStringGrid grid;
        grid.SetColCount(3);
        grid.SetRowCount(8);
        TStringGrid* gridVar = &grid;
        auto place = [&](TJoint1& job, int code, int row) {
            job.Code = code;
            job.GridRef = &gridVar;
            job.Col = 2;
            job.Row = row;
        };

        QLabel panel;
        TVersion version;
        version.Code = 999;
        version.StatusPanel = &panel;
        QVERIFY(run(version, TJoint1::Read));
        QCOMPARE(panel.text(), QStringLiteral("Версия прошивки: 1.4.4"));

        // The dialog offers more than the unit takes: 30 is refused, 22 kept.
        TNumber gain;
        place(gain, 13, 1);
        gain.Max = 99;
        QVERIFY(run(gain, TJoint1::Read));
        const QString before = grid.Cells(2, 1);
        for (int typed : {30, 22})
            AnswerNextModal<TFormNumber>([typed](TFormNumber* d) {
                d->UpDown1->setValue(typed);
                d->accept();
            });
        QVERIFY(run(gain, TJoint1::Edit));
        QCOMPARE(runner.Sink.Errors(), QStringList({"NumberSet: reply: ERROR\r"}));
        QCOMPARE(grid.Cells(2, 1), before);
        QVERIFY(run(gain, TJoint1::Edit));
        QCOMPARE(grid.Cells(2, 1), QStringLiteral("22"));

        TDirectory transfer;
        place(transfer, 20, 2);
        transfer.MaxLength = 24;
        transfer.StarAllowed = true;
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) {
            QTest::keyClicks(d->Edit1, "*58");
            d->accept();
        });
        QVERIFY(run(transfer, TJoint1::Edit));
        QCOMPARE(grid.Cells(2, 2), QStringLiteral("*58"));

        TChoice dialling;
        place(dialling, 10, 3);
        dialling.Choices = QStringList{"Тональный", "Импульсный"};
        AnswerNextModal<TFormChoice>([](TFormChoice* d) {
            ClickIndicator(d->RadioGroup1->Button(1));
            d->accept();
        });
        QVERIFY(run(dialling, TJoint1::Edit));
        QCOMPARE(grid.Cells(2, 3), QStringLiteral("Импульсный"));

        TTimeDlg monday;
        place(monday, 111, 4);
        AnswerNextModal<TFormTime>([](TFormTime* d) {
            d->DateTimePicker1->setTime(QTime(18, 5, 59));
            d->accept();
        });
        QVERIFY(run(monday, TJoint1::Edit));
        QCOMPARE(grid.Cells(2, 4), QStringLiteral("18:05"));

        QLineEdit display;
        TVFCode operatorCode;
        operatorCode.Code = 100;
        operatorCode.Display = &display;
        AnswerNextModal<TFormCode>([](TFormCode* d) {
            ClickIndicator(d->RadioButton[10]);
            d->accept();
        });
        QVERIFY(run(operatorCode, TJoint1::Edit));
        QCOMPARE(display.text(), QStringLiteral("0"));

        QCheckBox box;
        QCheckBox* boxVar = &box;
        TCheck holiday;
        holiday.Code = 110;
        holiday.CheckBoxRef = &boxVar;
        QVERIFY(run(holiday, TJoint1::Read));
        const bool wasChecked = box.isChecked();
        box.setChecked(!wasChecked);
        QVERIFY(run(holiday, TJoint1::Edit));
        QVERIFY(run(holiday, TJoint1::Read));
        QCOMPARE(box.isChecked(), !wasChecked);
        QCOMPARE(runner.Sink.Errors().size(), 1);
    }
};

QTEST_MAIN(TestScalarsOnTheUnit)
#include "test_scalars_unit.moc"
