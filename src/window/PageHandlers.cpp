// What the pages do when shown, double-clicked or clicked: each picks a job of
// the catalogue, gives it a start state and submits it to the session. The
// jobs talk to the unit and show their own results; the pages never write a
// value into the screen themselves.
#include "Unit1.h"
#include "session/AAMenu.h"
#include "session/MessageSink.h"
#include "session/UnitDialog.h"
#include "settings/CheckJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/MenuDlg.h"
#include "settings/NumberJobs.h"
#include "settings/VoiceFile.h"
#include "support/VoiceTransfer.h"
#include "ui/Clock.h"
#include "ui/StringGrid.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QPushButton>

namespace {

constexpr int FileNameColumn = 1;

// Every job of one column of a grid, rows 1 to the last, skipping empty cells.
std::vector<TJoint1*> ColumnJobs(const TStringGrid* grid, int col)
{
    std::vector<TJoint1*> jobs;
    for (int row = 1; row < grid->RowCount(); ++row)
        if (TJoint1* job = grid->Objects(col, row))
            jobs.push_back(job);
    return jobs;
}

} // namespace

void TForm1::BindPageHandlers()
{
    const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
        {btnAddNum, &TForm1::btnAddNumClick},
        {btnAddGroup, &TForm1::btnAddGroupClick},
        {btnDelNum, &TForm1::btnDelNumClick},
        {btnDelGroup, &TForm1::btnDelGroupClick},
        {btnOpCode, &TForm1::btnOpCodeClick},
        {btnOpNumDay, &TForm1::btnOpNumDayClick},
        {btnOpNumNight, &TForm1::btnOpNumNightClick},
        {btnFaxNum, &TForm1::btnFaxNumClick},
        {btnAdmPwd, &TForm1::btnAdmPwdClick},
        {btnGreetUpload, &TForm1::btnGreetUploadClick},
        {btnGreetDownload, &TForm1::btnGreetDownloadClick},
        {btnGreetDelete, &TForm1::btnGreetDeleteClick},
        {btnSetTime, &TForm1::btnSetTimeClick},
        {btnMenuUpload, &TForm1::btnMenuUploadClick},
        {btnMenuDownload, &TForm1::btnMenuDownloadClick},
        {btnMenuDelete, &TForm1::btnMenuDeleteClick},
        {btnMailCreate, &TForm1::btnMailCreateClick},
        {btnMailDelete, &TForm1::btnMailDeleteClick},
        {btnMailEdit, &TForm1::btnMailEditClick},
        {btnSysParams, &TForm1::sgSysParamsDblClick},
        {btnMessageUpload, &TForm1::sgMessagesDblClick},
        {btnMessageDownload, &TForm1::btnMessageDownloadClick},
        {btnMessageDelete, &TForm1::btnMessageDeleteClick},
        {btnGreetOverride, &TForm1::sgGreetOverrideDblClick},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
    connect(cbHoliday, &QCheckBox::clicked, this, &TForm1::cbHolidayClick);
    UploadTransfer = [this](TFile* job, const QString& file) { RunTransfer(job, file, true); };
    DownloadTransfer = [this](TFile* job, const QString& file) { RunTransfer(job, file, false); };
}

void TForm1::Run(TJoint1* job, int state)
{
    if (!job)
        return;
    job->State = state;
    m_session->Submit(job);
}

bool TForm1::RunSeries(const std::vector<TJoint1*>& jobs)
{
    TMessageCounter messages;
    BeginBusy();
    for (TJoint1* job : jobs) {
        m_server->WaitIdle();
        if (m_session->Level == TAAMenu::lvOff)
            break;
        Run(job, TJoint1::Read);
    }
    m_server->WaitIdle();
    EndBusy();
    return messages.Count() == 0 && m_session->Level != TAAMenu::lvOff;
}

bool TForm1::SystemLevel() const
{
    return m_session->Level == TAAMenu::lvSystem;
}

bool TForm1::SystemOnly() const
{
    if (SystemLevel())
        return true;
    ErrorBox(Unit::SystemOnlyRefusal);
    return false;
}

// Show handlers. Each reads its page once per connection, the mailboxes at
// every showing. A page whose reading came up with a message is read again
// the next time: what a failed read left must not stand for the unit's values
// (an export would write it).

void TForm1::tbsNumbersShow()
{
    if (m_session->Level == TAAMenu::lvOff || PageLoaded[pgNumbers])
        return;
    PageLoaded[pgNumbers] = RunSeries({ListJob, OpCodeJob, OpNumDayJob, OpNumNightJob, FaxNumJob, AdmPwdJob});
}

void TForm1::tbsGreetingsShow()
{
    if (m_session->Level == TAAMenu::lvOff || PageLoaded[pgGreetings])
        return;
    PageLoaded[pgGreetings] = RunSeries(ColumnJobs(sgGreetings, 0));
}

void TForm1::tbsTimeShow()
{
    if (m_session->Level == TAAMenu::lvOff || PageLoaded[pgTime])
        return;
    std::vector<TJoint1*> jobs{HolidayJob};
    for (int row = 1; row < sgTime->RowCount(); ++row)
        for (int col : {1, 2})
            if (TJoint1* job = sgTime->Objects(col, row))
                jobs.push_back(job);
    PageLoaded[pgTime] = RunSeries(jobs);
}

void TForm1::tbsMenuShow()
{
    if (m_session->Level == TAAMenu::lvOff || PageLoaded[pgMenu])
        return;
    PageLoaded[pgMenu] = RunSeries(ColumnJobs(sgMenu, 0));
}

void TForm1::tbsMailShow()
{
    if (m_session->Level != TAAMenu::lvOff)
        Run(MailJob, TJoint1::Read);
}

// An administrator's session must not show what an earlier system session read
// (the system password among it): the values of the system pages go.
void TForm1::ForgetSystemValues()
{
    for (const auto& [grid, firstValueCol] : {std::pair{sgSysParams, 2}, {sgGreetOverride, 2}, {sgMessages, FileNameColumn}})
        for (int row = 1; row < grid->RowCount(); ++row)
            for (int col = firstValueCol; col < grid->ColCount(); ++col)
                grid->SetCells(col, row, QString());
    PageLoaded[pgSysParams] = false;
    PageLoaded[pgMessages] = false;
}

void TForm1::tbsSysParamsShow()
{
    if (!SystemLevel()) {
        ForgetSystemValues();
        return;
    }
    if (PageLoaded[pgSysParams])
        return;
    std::vector<TJoint1*> jobs{m_versionJob.get()};
    const std::vector<TJoint1*> params = ColumnJobs(sgSysParams, 2);
    jobs.insert(jobs.end(), params.begin(), params.end());
    PageLoaded[pgSysParams] = RunSeries(jobs);
}

void TForm1::tbsMessagesShow()
{
    if (!SystemLevel()) {
        ForgetSystemValues();
        return;
    }
    if (PageLoaded[pgMessages])
        return;
    std::vector<TJoint1*> jobs;
    for (int row = 1; row < sgGreetOverride->RowCount(); ++row)
        for (int col = 2; col < sgGreetOverride->ColCount(); ++col)
            if (TJoint1* job = sgGreetOverride->Objects(col, row))
                jobs.push_back(job);
    const std::vector<TJoint1*> messages = ColumnJobs(sgMessages, FileNameColumn);
    jobs.insert(jobs.end(), messages.begin(), messages.end());
    PageLoaded[pgMessages] = RunSeries(jobs);
}

// Numbers.

void TForm1::btnAddNumClick() { Run(ListJob, TListDlg::AddNumber); }
void TForm1::btnAddGroupClick() { Run(ListJob, TListDlg::AddRange); }
void TForm1::btnDelNumClick() { Run(ListJob, TListDlg::RemoveNumber); }
void TForm1::btnDelGroupClick() { Run(ListJob, TListDlg::RemoveRange); }
void TForm1::btnOpCodeClick() { Run(OpCodeJob, TJoint1::Edit); }
void TForm1::btnOpNumDayClick() { Run(OpNumDayJob, TJoint1::Edit); }
void TForm1::btnOpNumNightClick() { Run(OpNumNightJob, TJoint1::Edit); }
void TForm1::btnFaxNumClick() { Run(FaxNumJob, TJoint1::Edit); }
void TForm1::btnAdmPwdClick() { Run(AdmPwdJob, TJoint1::Edit); }

// Greetings and menus: whatever cell is current, the row's job is on column 0.

TFile* TForm1::KeyGridJob(const TStringGrid* grid) const
{
    return static_cast<TFile*>(grid->Objects(0, grid->Row()));
}

void TForm1::KeyGridDblClick(TStringGrid* grid)
{
    auto* job = static_cast<TMenuDlg*>(KeyGridJob(grid));
    const int col = grid->Col();
    if (!job || col < FileNameColumn)
        return;
    if (col == FileNameColumn) {
        UploadFlow(job);
        return;
    }
    job->EditedKey = col - TMenuDlg::FirstKeyColumn;
    Run(job, TMenuDlg::EditKey);
}

void TForm1::sgGreetingsDblClick() { KeyGridDblClick(sgGreetings); }
void TForm1::btnGreetUploadClick() { UploadFlow(KeyGridJob(sgGreetings)); }
void TForm1::btnGreetDownloadClick() { DownloadFlow(KeyGridJob(sgGreetings)); }
void TForm1::btnGreetDeleteClick() { Run(KeyGridJob(sgGreetings), TFile::DeleteFile); }
void TForm1::sgMenuDblClick() { KeyGridDblClick(sgMenu); }
void TForm1::btnMenuUploadClick() { UploadFlow(KeyGridJob(sgMenu)); }
void TForm1::btnMenuDownloadClick() { DownloadFlow(KeyGridJob(sgMenu)); }
void TForm1::btnMenuDeleteClick() { Run(KeyGridJob(sgMenu), TFile::DeleteFile); }

// Schedule and clock.

void TForm1::sgTimeDblClick()
{
    Run(sgTime->Objects(sgTime->Col(), sgTime->Row()), TJoint1::Edit);
}

// The job shows a value read from the unit with the box disabled, so only a
// user's click writes.
void TForm1::cbHolidayClick()
{
    if (cbHoliday->isEnabled())
        Run(HolidayJob, TJoint1::Edit);
}

void TForm1::btnSetTimeClick()
{
    BeginBusy();
    {
        TFormClock clock(*m_session, *m_server, this);
        clock.exec();
    }
    EndBusy();
}

// Mailboxes.

void TForm1::btnMailCreateClick() { Run(MailJob, TMailDlg::CreateBox); }
void TForm1::btnMailDeleteClick() { Run(MailJob, TMailDlg::DeleteBox); }
void TForm1::btnMailEditClick() { Run(MailJob, TMailDlg::EditBox); }

// System parameters and message replacement: the unit shows these only to the
// system user, so the page refuses before asking it.

void TForm1::sgSysParamsDblClick()
{
    if (SystemOnly())
        Run(sgSysParams->Objects(2, sgSysParams->Row()), TJoint1::Edit);
}

TFile* TForm1::MessageJob() const
{
    return static_cast<TFile*>(sgMessages->Objects(FileNameColumn, sgMessages->Row()));
}

void TForm1::sgMessagesDblClick()
{
    if (SystemOnly())
        UploadFlow(MessageJob());
}

void TForm1::btnMessageDownloadClick()
{
    if (SystemOnly())
        DownloadFlow(MessageJob());
}

void TForm1::btnMessageDeleteClick()
{
    if (!SystemOnly())
        return;
    if (TFile* job = MessageJob()) {
        BeginBusy();
        Run(job, TFile::DeleteFile);
        EndBusy();
    }
}

void TForm1::sgGreetOverrideDblClick()
{
    if (sgGreetOverride->Col() >= 2)
        Run(sgGreetOverride->Objects(sgGreetOverride->Col(), sgGreetOverride->Row()), TJoint1::Edit);
}

// Voice files: the file dialogs; the transfer itself belongs to the transfer
// flow behind the hooks.

void TForm1::UploadFlow(TFile* job)
{
    if (!job)
        return;
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    if (UploadTransfer)
        UploadTransfer(job, dialog.selectedFiles().constFirst());
}

void TForm1::DownloadFlow(TFile* job)
{
    if (!job || job->FileName.isEmpty())
        return;
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(job->FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    if (DownloadTransfer)
        DownloadTransfer(job, dialog.selectedFiles().constFirst());
}

void TForm1::RunTransfer(TFile* job, const QString& file, bool upload)
{
    BeginBusy();
    TVoiceTransfer transfer(*m_session, *m_server, this);
    if (upload)
        transfer.Upload(job, file);
    else
        transfer.Download(job, file);
    EndBusy();
}
