#pragma once
// The clock window: shows the unit's clock, read twice a second while the
// window is open, and sets it to the date and time the user picked or to the
// computer's. A user's change of the picker or the calendar stops the display
// from following the unit until the next write. "Отмена" closes without
// writing. The window never piles up reads: a tick while the previous job
// still runs is skipped, and closing waits for a read in flight to end.

#include <QDialog>

#include <memory>

class QCalendarWidget;
class QPushButton;
class QTimeEdit;
class QTimer;
class TAAMenu;
class TClock;
class TCOMServer;

class TFormClock : public QDialog {
    Q_OBJECT
public:
    // Reads start with the first tick, 500 ms after creation.
    TFormClock(TAAMenu& session, TCOMServer& server, QWidget* parent = nullptr);
    ~TFormClock() override;

    QTimeEdit* DateTimePicker1;
    QCalendarWidget* MonthCalendar1;
    QPushButton* btnComp;
    QPushButton* btnApply;
    QPushButton* btnCancel;
    QTimer* Timer1;

    TClock& ClockJob() const;

public slots:
    void done(int result) override;

private slots:
    void Timer1Timer();
    void DateTimePicker1Change();
    void MonthCalendar1Click();
    void btnApplyClick();
    void btnCompClick();

private:
    class TWindowClock;

    void StopFollowing();
    void Write(const QDate& date, const QTime& time);

    TAAMenu& m_session;
    TCOMServer& m_server;
    std::unique_ptr<TWindowClock> m_job;
    bool m_closing = false;
};
