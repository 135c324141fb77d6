#include "Clock.h"

#include "session/AAMenu.h"
#include "settings/ClockJob.h"

#include <QCalendarWidget>
#include <QDateTime>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ReadIntervalMs = 500;
const QDate EarliestDate(2000, 1, 1);

} // namespace

// The window's clock job. What it shows does not count as the user's change,
// a reading that ends after the user started editing is not shown, and a
// failed reading stops the timer: the unit would fail again at the next tick
// and bury the window under error boxes.
class TFormClock::TWindowClock : public TClock {
public:
    bool Following = true;
    bool Failed = false;

    bool Process() override
    {
        if (State >= 200)
            Failed = true;
        return TClock::Process();
    }
    void Output() override
    {
        if (!Following)
            return;
        const QSignalBlocker pickerQuiet(TimePicker);
        const QSignalBlocker calendarQuiet(Calendar);
        TClock::Output();
    }
};

TFormClock::TFormClock(TAAMenu& session, TCOMServer& server, QWidget* parent)
    : QDialog(parent)
    , DateTimePicker1(new QTimeEdit(this))
    , MonthCalendar1(new QCalendarWidget(this))
    , btnComp(new QPushButton(QStringLiteral("По компьютеру"), this))
    , btnApply(new QPushButton(QStringLiteral("Применить"), this))
    , btnCancel(new QPushButton(QStringLiteral("Отмена"), this))
    , Timer1(new QTimer(this))
    , m_session(session)
    , m_server(server)
    , m_job(std::make_unique<TWindowClock>())
{
    setWindowTitle(QStringLiteral("Установка времени"));
    DateTimePicker1->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    MonthCalendar1->setMinimumDate(EarliestDate);
    MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    btnApply->setDefault(true);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {btnComp, btnApply, btnCancel})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* clock = new QVBoxLayout;
    clock->addWidget(DateTimePicker1);
    clock->addWidget(MonthCalendar1);
    auto* frame = new QHBoxLayout(this);
    frame->addLayout(clock);
    frame->addLayout(buttons);
    frame->setSizeConstraint(QLayout::SetFixedSize);

    m_job->TimePicker = DateTimePicker1;
    m_job->Calendar = MonthCalendar1;

    connect(Timer1, &QTimer::timeout, this, &TFormClock::Timer1Timer);
    connect(DateTimePicker1, &QTimeEdit::timeChanged, this, &TFormClock::DateTimePicker1Change);
    connect(MonthCalendar1, &QCalendarWidget::selectionChanged, this, &TFormClock::MonthCalendar1Click);
    connect(btnApply, &QPushButton::clicked, this, &TFormClock::btnApplyClick);
    connect(btnComp, &QPushButton::clicked, this, &TFormClock::btnCompClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    Timer1->start(ReadIntervalMs);
}

TFormClock::~TFormClock()
{
    Timer1->stop();
    m_server.WaitIdle(); // the job must outlive a run that still uses it
}

TClock& TFormClock::ClockJob() const
{
    return *m_job;
}

void TFormClock::done(int result)
{
    m_closing = true;
    Timer1->stop();
    m_server.WaitIdle();
    QDialog::done(result);
}

// Only when nothing runs, so a slow unit delays the display instead of
// queueing reads; and only while connected, so that a lost connection is not
// logged in again twice a second.
void TFormClock::Timer1Timer()
{
    if (m_job->Failed || m_session.Level == TAAMenu::lvOff) {
        Timer1->stop();
        return;
    }
    if (!m_server.IdleEvent.IsSet())
        return;
    m_job->State = TJoint1::Read;
    m_session.Submit(m_job.get());
}

void TFormClock::StopFollowing()
{
    Timer1->stop();
    m_job->Following = false;
}

void TFormClock::DateTimePicker1Change()
{
    StopFollowing();
}

void TFormClock::MonthCalendar1Click()
{
    StopFollowing();
}

void TFormClock::btnApplyClick()
{
    Write(MonthCalendar1->selectedDate(), DateTimePicker1->time());
}

void TFormClock::btnCompClick()
{
    const QDateTime now = QDateTime::currentDateTime();
    Write(now.date(), now.time());
}

// The values are taken at the click; a read still running ends first, since
// the write uses the same job.
void TFormClock::Write(const QDate& date, const QTime& time)
{
    const QByteArray clock = TClock::MakeClockString(date, time);
    Timer1->stop();
    m_server.WaitIdle();
    if (m_closing)
        return;
    m_job->ClockString = clock;
    m_job->Following = true;
    m_job->Failed = false;
    m_job->State = TJoint1::Write;
    m_session.Submit(m_job.get());
    Timer1->start(ReadIntervalMs);
}
