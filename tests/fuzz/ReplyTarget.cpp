// Every reader of the unit's replies, through the jobs that own them. The
// first byte picks a job and the state it starts in (every read, and the
// writes, whose final replies are parsed too); the second byte where the
// session believes the unit to be, so that its login and menu navigation read
// the unit's answers first when they must. The rest is what the unit sends,
// burst by burst. The job runs on the real worker, its window steps in the
// main thread with real widgets, and the export text is taken at the end.
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "session/AAMenu.h"
#include "session/UnitDialog.h"
#include "settings/CheckJob.h"
#include "settings/ChoiceJob.h"
#include "settings/ClockJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/MenuDlg.h"
#include "settings/NumberJobs.h"
#include "settings/TimeJob.h"
#include "ui/StringGrid.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimeEdit>

#include <functional>
#include <memory>

namespace Fuzz {
namespace {

// The window parts the jobs show their values in; made once.
struct TScreen {
    TScreen()
    {
        Grid->SetColCount(12);
        Grid->SetRowCount(TMailDlg::Capacity + 1);
    }
    TStringGrid* Grid = new TStringGrid;
    QLineEdit* Edit = new QLineEdit;
    QLabel* Label = new QLabel;
    QCheckBox* CheckBox = new QCheckBox;
    QTimeEdit* Picker = new QTimeEdit;
    QCalendarWidget* Calendar = new QCalendarWidget;
    QPlainTextEdit* Memo = new QPlainTextEdit;
};

TScreen& screen()
{
    static TScreen* const s = new TScreen; // as long as the process
    return *s;
}

template <class T>
std::unique_ptr<T> shown(int code, Unit::TUnitMode mode = Unit::umSys)
{
    auto job = std::make_unique<T>();
    job->Code = code;
    job->Col = 1;
    job->Row = 1;
    job->GridRef = &screen().Grid;
    job->Mode = mode;
    return job;
}

std::unique_ptr<TMenuDlg> menu(int code)
{
    auto job = shown<TMenuDlg>(code, Unit::umMenu);
    job->TC = 7;
    job->Items.fill(QByteArrayLiteral("-"));
    job->Items[3] = "N101";
    return job;
}

std::unique_ptr<TMailDlg> mail()
{
    auto job = shown<TMailDlg>(0, Unit::umMail);
    job->FreeSpaceField = screen().Edit;
    job->Owner = QStringLiteral("200");
    job->SizeSeconds = 900;
    job->Count = 1;
    job->Mailboxes[0] = {QStringLiteral("200"), 600};
    job->Selected = 0;
    return job;
}

std::unique_ptr<TListDlg> list()
{
    auto job = std::make_unique<TListDlg>();
    job->TargetLines = screen().Memo;
    job->Argument = QStringLiteral("200-219");
    return job;
}

std::unique_ptr<TClock> clock()
{
    auto job = std::make_unique<TClock>();
    job->TimePicker = screen().Picker;
    job->Calendar = screen().Calendar;
    job->ClockString = "050309070809";
    return job;
}

std::unique_ptr<TChoice> choice()
{
    auto job = shown<TChoice>(10);
    job->Choices = {QStringLiteral("импульсный"), QStringLiteral("тональный"), QStringLiteral("авто")};
    job->ItemIndex = 1;
    return job;
}

struct TCase {
    int State;
    std::function<std::unique_ptr<TJoint1>()> Make;
};

const TCase Cases[] = {
    {3, [] { return shown<TNumber>(15); }},
    {3, [] { return shown<TDirectory>(20); }},
    {3, [] { auto j = shown<TVFDirectory>(0); j->ValueEdit = screen().Edit; return j; }},
    {3, choice},
    {3, [] { return shown<TTimeDlg>(200); }},
    {3, [] { auto j = shown<TCheck>(300); j->CheckBoxRef = &screen().CheckBox; return j; }},
    {3, [] { auto j = shown<TVersion>(999); j->StatusPanel = screen().Label; return j; }},
    {3, [] { auto j = shown<TVFCode>(50); j->Display = screen().Edit; return j; }},
    {3, [] { return shown<TFile>(60); }},
    {TFile::ReadResult, [] { return shown<TFile>(61); }},
    {3, [] { return menu(5); }},
    {TFile::ReadResult, [] { return menu(21); }},
    {3, list},
    {3, mail},
    {3, clock},
    {2, [] { auto j = shown<TNumber>(16); j->Value = -1234; return j; }},
    {2, [] { auto j = shown<TDirectory>(21); j->Value = QStringLiteral("*12#"); return j; }},
    {2, choice},
    {2, clock},
    {21, [] { return shown<TFile>(62); }},
    {TFile::DownloadFile, [] { return shown<TFile>(63); }},
    {TFile::UploadFile, [] { return shown<TFile>(64); }},
    {2, [] { return menu(6); }},
    {21, [] { return menu(7); }},
    {TFile::UploadFile, [] { return menu(8); }},
    {TFile::DownloadFile, [] { return menu(9); }},
    {11, list},
    {21, list},
    {11, mail},
    {81, mail},
    {21, mail},
};

// Where the session believes the unit to be: in the job's own menu (the job
// runs at once), at "PC>" or ">" (navigation first), or not logged in (wake-up
// and login first).
uint8_t sessionStart(uint8_t pick, uint8_t jobMode)
{
    const uint8_t starts[] = {jobMode, Unit::umPC, Unit::umTop, Unit::umPortOpen};
    return starts[pick % 4];
}

// What must hold of a job's values whatever the unit said.
void checkValues(TJoint1& job)
{
    if (auto* m = dynamic_cast<TMailDlg*>(&job))
        Check(m->Count >= 0 && m->Count <= TMailDlg::Capacity, "mailbox count outside the table");
    if (auto* c = dynamic_cast<TChoice*>(&job))
        Check(c->ItemIndex >= 0 && c->ItemIndex < c->Choices.size(), "choice index outside the list");
}

} // namespace

void UnitReplies(const uint8_t* data, size_t size)
{
    static TCOMServer* const server = new TCOMServer; // as long as the process
    TQuietSink sink;
    SetMessageSink(&sink);
    TInput input(data, size);
    const TCase& pick = Cases[input.Byte() % std::size(Cases)];
    std::unique_ptr<TJoint1> job = pick.Make();
    job->State = pick.State;
    TAAMenu session(*server);
    session.Password = QStringLiteral("1234");
    session.UnitMode = sessionStart(input.Byte(), job->Mode);
    TFormComm comm;
    TFarEnd farEnd(comm, input);
    session.Submit(job.get());
    if (!server->WaitIdle(HangLimitMs))
        Fail("a job or the session hung");
    checkValues(*job);
    job->GetText();
    SetMessageSink(nullptr);
}

} // namespace Fuzz
