// The clock window against the emulated unit: it follows the unit's clock,
// writes the date and time shown or the computer's, stops following while the
// user edits, leaves the unit alone on "Отмена", and neither piles up reads
// nor buries the window under boxes when the unit is slow.
#include "GuiTestSupport.h"
#include "WindowRig.h"
#include "window/Unit1.h"
#include "settings/ClockJob.h"
#include "ui/Clock.h"

#include <QCalendarWidget>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

using namespace TestSupport;

namespace {

constexpr int FollowMs = 10000;

QDateTime shown(const TFormClock& clock)
{
    return QDateTime(clock.MonthCalendar1->selectedDate(), clock.DateTimePicker1->time());
}

} // namespace

class TestClockWindow : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TWindowRig> rig;
    std::unique_ptr<TFormClock> clock;

    void open()
    {
        clock = std::make_unique<TFormClock>(*rig->Window->Session(), *rig->Window->Server(), rig->Window.get());
        clock->show();
    }
    // The date and time the unit shows through a fresh window.
    QDateTime unitClock()
    {
        clock.reset();
        open();
        const QDateTime before = shown(*clock);
        [[maybe_unused]] const bool read = QTest::qWaitFor([&] { return shown(*clock) != before; }, FollowMs);
        return shown(*clock);
    }
    static bool near(const QDateTime& a, const QDateTime& b, int seconds = 5)
    {
        return std::abs(a.secsTo(b)) <= seconds;
    }

private slots:
    void init()
    {
        rig = std::make_unique<TWindowRig>();
        QVERIFY(rig->Started());
        QVERIFY(rig->Connect(QStringLiteral("1234")));
        open();
    }
    void cleanup()
    {
        clock.reset();
        QVERIFY(rig->Window->Server()->IdleEvent.IsSet());
        rig.reset();
        QCOMPARE(CloseLeftoverModals(), QStringList());
    }

    void staticLook()
    {
        QCOMPARE(clock->windowTitle(), QStringLiteral("Установка времени"));
        QCOMPARE(clock->MonthCalendar1->minimumDate(), QDate(2000, 1, 1));
        QVERIFY(clock->btnApply->isDefault());
        QVERIFY(clock->Timer1->isActive());
        QCOMPARE(clock->Timer1->interval(), 500);
        QCOMPARE(clock->ClockJob().Mode, Unit::umTime);
    }

    void appliesWhatIsShownAndFollowsTheUnit()
    {
        QVERIFY(QTest::qWaitFor([&] { return near(shown(*clock), QDateTime::currentDateTime()); }, FollowMs));
        // The user's date stops the display from following until applied.
        clock->MonthCalendar1->setSelectedDate(QDate(2024, 12, 31));
        QVERIFY(!clock->Timer1->isActive());
        clock->DateTimePicker1->setTime(QTime(23, 59, 50));
        QTest::qWait(1200);
        QCOMPARE(shown(*clock), QDateTime(QDate(2024, 12, 31), QTime(23, 59, 50)));

        QElapsedTimer sinceApplied;
        sinceApplied.start();
        clock->btnApply->click();
        QVERIFY(clock->isVisible() && clock->Timer1->isActive());
        // The unit's clock runs on past midnight into the new year, at the
        // pace of the computer's (a loaded machine only delays the reads).
        QVERIFY2(QTest::qWaitFor([&] { return shown(*clock).date() == QDate(2025, 1, 1); }, 60000),
                 qPrintable(rig->Sink.Log().join(QLatin1Char('|'))));
        const QDateTime unit = unitClock();
        const QDateTime expected =
            QDateTime(QDate(2024, 12, 31), QTime(23, 59, 50)).addMSecs(sinceApplied.elapsed());
        QVERIFY2(near(unit, expected), qPrintable(unit.toString(Qt::ISODate) + " / " + expected.toString(Qt::ISODate)));
        QCOMPARE(rig->Sink.Log(), QStringList({"P"}));
    }

    void fromTheComputer()
    {
        clock->MonthCalendar1->setSelectedDate(QDate(2030, 6, 1));
        clock->btnApply->click();
        QVERIFY(QTest::qWaitFor([&] { return shown(*clock).date() == QDate(2030, 6, 1); }, FollowMs));
        clock->DateTimePicker1->setTime(QTime(3, 0)); // whatever the controls show
        clock->btnComp->click();
        QVERIFY(QTest::qWaitFor([&] { return near(shown(*clock), QDateTime::currentDateTime()); }, FollowMs));
        QVERIFY(near(unitClock(), QDateTime::currentDateTime()));
    }

    void cancelLeavesTheUnitsClock()
    {
        clock->MonthCalendar1->setSelectedDate(QDate(2031, 3, 5));
        clock->btnApply->click();
        QVERIFY(QTest::qWaitFor([&] { return shown(*clock).date() == QDate(2031, 3, 5); }, FollowMs));
        clock->MonthCalendar1->setSelectedDate(QDate(2012, 2, 29));
        clock->btnCancel->click();
        QVERIFY(!clock->isVisible());
        QCOMPARE(unitClock().date(), QDate(2031, 3, 5));
    }

    // Replies slower than the reading allows: one box, then the display
    // stops; no read is queued behind another, and closing waits for the
    // read in flight.
    void slowUnitDoesNotPileUp()
    {
        QVERIFY(QTest::qWaitFor([&] { return near(shown(*clock), QDateTime::currentDateTime()); }, FollowMs));
        QCOMPARE(rig->Unit->Control("fault delay 400"), QByteArray("ok fault delay 400"));
        QVERIFY(QTest::qWaitFor([&] { return !clock->Timer1->isActive(); }, FollowMs));
        QTest::qWait(1500);
        QCOMPARE(rig->Sink.Errors(), QStringList({"Time: Time-out on reply"}));

        QCOMPARE(rig->Unit->Control("fault delay 250"), QByteArray("ok fault delay 250"));
        clock->btnComp->click();
        QVERIFY(QTest::qWaitFor([&] { return !rig->Window->Server()->IdleEvent.IsSet(); }, FollowMs));
        clock->reject();
        QVERIFY(rig->Window->Server()->IdleEvent.IsSet());
        QCOMPARE(rig->Sink.Errors().size(), 1);
    }

    // Opened from the page, the window keeps the main window busy.
    void openedModallyFromThePage()
    {
        clock.reset();
        AnswerNextModal<TFormClock>([this](TFormClock* d) {
            QCOMPARE(rig->Window->BusyCount(), 1);
            d->btnCancel->click();
        });
        QVERIFY(rig->ShowPage(rig->Window->tbsTime));
        rig->Window->btnSetTime->click();
        QVERIFY(WaitModalsAnswered());
        QVERIFY(rig->Settle());
        open();
    }
};

QTEST_MAIN(TestClockWindow)
#include "test_clockwindow.moc"
