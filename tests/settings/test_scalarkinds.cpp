// The eight kinds of single setting, each run as the pages run it: handed to
// the worker in state 1 (edit) or 3 (refresh), its real dialog answered as a
// user would, the scripted unit at the far end of a pseudo-terminal. What the
// unit receives, what the screen shows afterwards, and what is exported.
#include "GuiTestSupport.h"
#include "LineFixture.h"
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

using TFaults = TScriptedUnit::TFaults;
using TLines = QList<QByteArray>;

namespace {

// A settings grid with the job under test in cell (2, 1), as the catalogue
// places it.
class TGridPlace {
public:
    TGridPlace()
    {
        m_grid.SetColCount(3);
        m_grid.SetRowCount(2);
    }
    void Place(TJoint1& job, int code)
    {
        job.Code = code;
        job.Mode = 6;
        job.GridRef = &m_gridVar;
        job.Col = 2;
        job.Row = 1;
        m_grid.SetObjects(2, 1, &job);
    }
    QString Cell() const { return m_grid.Cells(2, 1); }

private:
    TStringGrid m_grid;
    TStringGrid* m_gridVar = &m_grid;
};

// What the unit received since the last call.
TLines takeLines(TLineFixture& f)
{
    const TLines lines = f.Unit.Lines();
    f.Unit.ClearLines();
    return lines;
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
        TLineFixture f;
        TGridPlace place;
        TNumber job;
        place.Place(job, 13);
        job.Min = 0;
        job.Max = 24;
        f.Unit.SetValue(13, "10");
        QVERIFY(f.Run(job, 3));
        QCOMPARE(place.Cell(), QStringLiteral("10"));
        QCOMPARE(job.GetText(), QStringLiteral("10"));

        f.Unit.SetFaults(13, TFaults{.StoreInstead = QByteArray("20")});
        int shown = -1;
        AnswerNextModal<TFormNumber>([&](TFormNumber* d) {
            shown = d->UpDown1->value();
            QCOMPARE(d->UpDown1->minimum(), 0);
            QCOMPARE(d->UpDown1->maximum(), 24);
            d->UpDown1->setValue(22);
            d->accept();
        });
        takeLines(f);
        QVERIFY(f.Run(job, 1));
        QCOMPARE(shown, 10);
        QCOMPARE(takeLines(f), TLines({"SET", "13", "22", "GET", "13"}));
        QCOMPARE(job.Value, 20);
        QCOMPARE(place.Cell(), QStringLiteral("20"));
        QCOMPARE(f.Sink.Log(), QStringList());
    }

    // OK on a value nobody moved writes nothing, also when the unit holds a
    // value the dialog cannot show and it opens at the nearest limit.
    void numberUntouchedOrCancelledWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("moveThenCancel");
        QTest::addColumn<int>("shown");
        QTest::newRow("in range, OK") << QByteArray("7") << 24 << false << 7;
        QTest::newRow("in range, moved then cancelled") << QByteArray("7") << 24 << true << 7;
        QTest::newRow("above the limit") << QByteArray("500") << 250 << false << 250;
        QTest::newRow("beyond 16 bits") << QByteArray("70000") << 999 << false << 999;
        QTest::newRow("below the limit") << QByteArray("-3") << 24 << false << 0;
    }
    void numberUntouchedOrCancelledWritesNothing()
    {
        QFETCH(QByteArray, held);
        QFETCH(int, max);
        QFETCH(bool, moveThenCancel);
        QFETCH(int, shown);
        TLineFixture f;
        TGridPlace place;
        TNumber job;
        place.Place(job, 16);
        job.Max = max;
        f.Unit.SetValue(16, held);
        QVERIFY(f.Run(job, 3));
        takeLines(f);
        int opened = -1;
        AnswerNextModal<TFormNumber>([&](TFormNumber* d) {
            opened = d->UpDown1->value();
            if (!moveThenCancel)
                return d->accept();
            d->UpDown1->stepUp();
            d->reject();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(opened, shown);
        QCOMPARE(takeLines(f), TLines());
        QCOMPARE(place.Cell(), QString::fromLatin1(held));
    }

    void directoryStarOnlyWhereAllowed_data()
    {
        QTest::addColumn<bool>("allowStar");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("dialling combination") << true << QByteArray("1*23");
        QTest::newRow("system password") << false << QByteArray("123");
    }
    void directoryStarOnlyWhereAllowed()
    {
        QFETCH(bool, allowStar);
        QFETCH(QByteArray, sent);
        TLineFixture f;
        TGridPlace place;
        TDirectory job;
        place.Place(job, 20);
        job.MaxLength = 24;
        job.StarAllowed = allowStar;
        QVERIFY(f.Run(job, 3));
        QCOMPARE(place.Cell(), QStringLiteral("Не назначен"));
        takeLines(f);
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) {
            QTest::keyClicks(d->Edit1, QStringLiteral("1*2#3"));
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(takeLines(f), TLines({"SET", "20", sent, "GET", "20"}));
        QCOMPARE(place.Cell(), QString::fromLatin1(sent));
    }

    void directoryLengthAndSameText()
    {
        TLineFixture f;
        TGridPlace place;
        TDirectory job;
        place.Place(job, 0);
        job.MinLength = 1;
        job.MaxLength = 8;
        f.Unit.SetValue(0, "4321");
        QVERIFY(f.Run(job, 3));
        takeLines(f);
        auto clearAndAccept = [](TFormDirectory* d) {
            d->Edit1->selectAll();
            QTest::keyClick(d->Edit1, Qt::Key_Backspace);
            d->accept();
        };

        // Too short: refused before anything is sent.
        AnswerNextModal<TFormDirectory>(clearAndAccept);
        QVERIFY(f.Run(job, 1));
        QCOMPARE(f.Sink.Errors(), QStringList({"Число символов должно быть не менее 1."}));
        QCOMPARE(takeLines(f), TLines());
        QCOMPARE(job.Value, QStringLiteral("4321"));

        // Edited back to the text it had: nothing to write.
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) {
            QTest::keyClick(d->Edit1, Qt::Key_Backspace);
            QTest::keyClicks(d->Edit1, QStringLiteral("1"));
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(takeLines(f), TLines());

        // Without a minimum the empty text is a value like any other.
        job.MinLength = 0;
        AnswerNextModal<TFormDirectory>(clearAndAccept);
        QVERIFY(f.Run(job, 1));
        QCOMPARE(takeLines(f), TLines({"SET", "0", "", "GET", "0"}));
        QCOMPARE(place.Cell(), QStringLiteral("Не назначен"));
        QCOMPARE(f.Sink.Errors().size(), 1);
    }

    // The dialog's limit is for typing; a longer value from the unit is shown
    // whole, and OK on it writes nothing rather than a cut copy.
    void directoryLongerThanTheLimitIsNotCut()
    {
        TLineFixture f;
        TGridPlace place;
        TDirectory job;
        place.Place(job, 30);
        job.MaxLength = 8;
        f.Unit.SetValue(30, "1234567890");
        QVERIFY(f.Run(job, 3));
        takeLines(f);
        QString opened;
        AnswerNextModal<TFormDirectory>([&](TFormDirectory* d) {
            opened = d->Edit1->text();
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(opened, QStringLiteral("1234567890"));
        QCOMPARE(takeLines(f), TLines());
    }

    void directoryInAnEditField()
    {
        TLineFixture f;
        QLineEdit field;
        TVFDirectory job;
        job.Code = 101;
        job.MaxLength = 8;
        QCOMPARE(job.GetText(), QStringLiteral("Не определен"));
        job.ValueEdit = &field;
        f.Unit.SetValue(101, "5550101");
        QVERIFY(f.Run(job, 3));
        QCOMPARE(field.text(), QStringLiteral("5550101"));
        QCOMPARE(job.GetText(), QStringLiteral("5550101"));

        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) {
            d->Edit1->selectAll();
            QTest::keyClick(d->Edit1, Qt::Key_Backspace);
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(field.text(), QString());
        QCOMPARE(f.Unit.Value(101), QByteArray());
    }

    void choiceWritesOnEveryOkAndRefusesUnknownValues()
    {
        TLineFixture f;
        TGridPlace place;
        TChoice job;
        place.Place(job, 1);
        job.Choices = QStringList{"Нет ограничения", "Запрет настройки с телефона", "Запрет тонального набора"};
        f.Unit.SetValue(1, "1");
        QVERIFY(f.Run(job, 3));
        QCOMPARE(place.Cell(), job.Choices[1]);
        takeLines(f);

        QStringList items;
        int opened = -1;
        AnswerNextModal<TFormChoice>([&](TFormChoice* d) {
            items = d->RadioGroup1->Items();
            opened = d->RadioGroup1->ItemIndex();
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(items, job.Choices);
        QCOMPARE(opened, 1);
        QCOMPARE(takeLines(f), TLines({"SET", "1", "1", "GET", "1"}));

        AnswerNextModal<TFormChoice>([](TFormChoice* d) {
            ClickIndicator(d->RadioGroup1->Button(2));
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(takeLines(f), TLines({"SET", "1", "2", "GET", "1"}));
        QCOMPARE(place.Cell(), job.Choices[2]);

        // Past the list, and below it: the index stays, the value is refused.
        for (const QByteArray& held : {QByteArray("3"), QByteArray("-1")}) {
            f.Unit.SetValue(1, held);
            QVERIFY(f.Run(job, 3));
            QCOMPARE(job.ItemIndex, 2);
            QCOMPARE(place.Cell(), job.Choices[2]);
        }
        QCOMPARE(f.Sink.Errors(), QStringList(2, QStringLiteral("Choice: Invalid value received from device")));

        // A failed read yields 0, which is the first choice.
        f.Sink.Clear();
        f.Unit.SetFaults(1, TFaults{.GetReply = QByteArray("ERROR\r\n")});
        QVERIFY(f.Run(job, 3));
        QCOMPARE(place.Cell(), job.Choices[0]);
        QCOMPARE(f.Sink.Errors(), QStringList({"NumberGet: parameter (1): ERROR\r"}));
    }

    void callCodeShownAsItsKey()
    {
        TLineFixture f;
        QLineEdit display;
        TVFCode job;
        job.Code = 100;
        QCOMPARE(job.GetText(), QStringLiteral("Не определен"));
        job.Display = &display;
        const QList<std::pair<QByteArray, QString>> shown{
            {"0", "не назначен"}, {"7", "7"}, {"10", "0"}, {"11", "0"}, {"-1", "0"}};
        for (const auto& [held, text] : shown) {
            f.Unit.SetValue(100, held);
            QVERIFY(f.Run(job, 3));
            QCOMPARE(display.text(), text);
        }
        QCOMPARE(job.GetText(), QStringLiteral("0"));
        QCOMPARE(f.Sink.Errors(), QStringList(2, QStringLiteral("Incomprehensible: wrong code")));

        f.Unit.SetValue(100, "10");
        QVERIFY(f.Run(job, 3));
        takeLines(f);
        bool keyZeroChecked = false;
        AnswerNextModal<TFormCode>([&](TFormCode* d) {
            keyZeroChecked = d->RadioButton[10]->isChecked();
            ClickIndicator(d->RadioButton[10]); // the one already chosen
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QVERIFY(keyZeroChecked);
        QCOMPARE(takeLines(f), TLines());

        AnswerNextModal<TFormCode>([](TFormCode* d) {
            ClickIndicator(d->RadioButton[3]);
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(takeLines(f), TLines({"SET", "100", "3", "GET", "100"}));
        QCOMPARE(display.text(), QStringLiteral("3"));
    }

    void versionInTheStatusBar()
    {
        TLineFixture f;
        QLabel panel;
        TVersion job;
        job.Code = 999;
        job.StatusPanel = &panel;
        f.Unit.SetValue(999, "10203");
        QVERIFY(f.Run(job, 3));
        QCOMPARE(panel.text(), QStringLiteral("Версия прошивки: 1.2.3"));
        QCOMPARE(job.GetText(), QStringLiteral("1.2.3"));
        f.Unit.SetValue(999, "21009");
        QVERIFY(f.Run(job, 3));
        QCOMPARE(job.GetText(), QStringLiteral("2.10.9"));

        // Read only: an edit ends at once without a word to the unit.
        takeLines(f);
        QVERIFY(f.Run(job, 1, 5000));
        QCOMPARE(takeLines(f), TLines());
        QCOMPARE(f.Sink.Log(), QStringList());
    }

    void timeOfDayBothWays()
    {
        TLineFixture f;
        TGridPlace place;
        TTimeDlg job;
        place.Place(job, 111);
        f.Unit.SetValue(111, "730");
        QVERIFY(f.Run(job, 3));
        QCOMPARE(place.Cell(), QStringLiteral("07:30"));
        takeLines(f);

        QTime opened;
        AnswerNextModal<TFormTime>([&](TFormTime* d) {
            opened = d->DateTimePicker1->time();
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(opened, QTime(7, 30));
        QCOMPARE(takeLines(f), TLines());

        AnswerNextModal<TFormTime>([](TFormTime* d) {
            d->DateTimePicker1->setTime(QTime(18, 5, 59));
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(takeLines(f), TLines({"SET", "111", "1805", "GET", "111"}));
        QCOMPARE(place.Cell(), QStringLiteral("18:05"));
    }

    // No time of day: shown as read, the picker opens at the nearest valid
    // time, and OK on it writes nothing.
    void timeThatIsNoTimeOfDay_data()
    {
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QTime>("opened");
        QTest::newRow("25:75") << QByteArray("2575") << "25:75" << QTime(23, 59);
        QTest::newRow("12:60") << QByteArray("1260") << "12:60" << QTime(12, 59);
        QTest::newRow("negative") << QByteArray("-130") << "-01:-30" << QTime(0, 0);
    }
    void timeThatIsNoTimeOfDay()
    {
        QFETCH(QByteArray, held);
        QFETCH(QString, cell);
        QFETCH(QTime, opened);
        TLineFixture f;
        TGridPlace place;
        TTimeDlg job;
        place.Place(job, 124);
        f.Unit.SetValue(124, held);
        QVERIFY(f.Run(job, 3));
        QCOMPARE(place.Cell(), cell);
        takeLines(f);
        QTime shown;
        AnswerNextModal<TFormTime>([&](TFormTime* d) {
            shown = d->DateTimePicker1->time();
            d->accept();
        });
        QVERIFY(f.Run(job, 1));
        QCOMPARE(shown, opened);
        QCOMPARE(takeLines(f), TLines());
    }

    void checkBoxShowsWithoutWritingAndWritesOnlyZeroOrOne()
    {
        TLineFixture f;
        QCheckBox box(QStringLiteral("Праздничный режим"));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCheckBox* boxVar = &box;
        TCheck job;
        job.Code = 110;
        job.CheckBoxRef = &boxVar;
        // The page's click handler: only an enabled box starts an edit.
        int clicks = 0;
        connect(&box, &QCheckBox::toggled, this, [&] {
            if (box.isEnabled())
                ++clicks;
        });

        f.Unit.SetValue(110, "2");
        QVERIFY(f.Run(job, 3));
        QVERIFY(box.isChecked());
        QVERIFY(box.isEnabled());
        QCOMPARE(clicks, 0);
        QCOMPARE(job.GetText(), QStringLiteral("Установлен"));

        // 2 is not a value the unit takes: a write of it sends nothing.
        takeLines(f);
        QVERIFY(f.Run(job, 2));
        QCOMPARE(takeLines(f), TLines({"GET", "110"}));

        ClickIndicator(&box);
        QCOMPARE(clicks, 1);
        QVERIFY(f.Run(job, 1));
        QCOMPARE(takeLines(f), TLines({"SET", "110", "0", "GET", "110"}));
        QVERIFY(!box.isChecked());
        QCOMPARE(job.GetText(), QStringLiteral("Снят"));

        ClickIndicator(&box);
        QVERIFY(f.Run(job, 1));
        QCOMPARE(takeLines(f), TLines({"SET", "110", "1", "GET", "110"}));
        QVERIFY(box.isChecked());
        QCOMPARE(clicks, 2);
        QCOMPARE(f.Sink.Log(), QStringList());
    }
};

QTEST_MAIN(TestScalarKinds)
#include "test_scalarkinds.moc"
