// The settings export: every page brought up to date, then all values, as the
// jobs show them, into one text file in Windows-1251 with CR LF line ends.
#include "Unit1.h"
#include "session/AAMenu.h"
#include "session/MessageSink.h"
#include "settings/CheckJob.h"
#include "settings/ChoiceJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/NumberJobs.h"
#include "support/CodePage.h"
#include "support/OutputFile.h"
#include "ui/StringGrid.h"

#include <QFileDialog>
#include <QTabWidget>

#include <utility>

namespace {

const QString Unavailable = QStringLiteral("Недоступны (режим администратора)");

// Padded to 13 characters, so that the times line up.
const char* const DayLabels[] = {"Понедельник: ", "Вторник:     ", "Среда:       ", "Четверг:     ",
                                 "Пятница:     ", "Суббота:     ", "Воскресенье: "};
const char* const GreetingLabels[] = {"Дневное:", "Ночное:", "Праздничное:"};
// Rows 2 to 5 of the greeting override: the menus for day, night, holiday and transfer.
const char* const OverrideMenuLabels[] = {", День: ", ", Ночь: ", ", Праздник: ", ", Перевод: "};

// The export's lines; each line ends with CR LF, a value of several lines is
// written as it is.
class TExportText {
public:
    void Line(const QString& text = {}) { m_text += text + QStringLiteral("\r\n"); }
    void Header(const char* title) { Line(QStringLiteral("****") + QString::fromUtf8(title)); }
    QByteArray Bytes() const { return ToCp1251(m_text); }

private:
    QString m_text;
};

} // namespace

bool TForm1::RefreshAllPages(const TReadProgress& progress)
{
    static constexpr std::pair<QWidget* TForm1::*, void (TForm1::*)()> pages[] = {
        {&TForm1::tbsNumbers, &TForm1::tbsNumbersShow},     {&TForm1::tbsGreetings, &TForm1::tbsGreetingsShow},
        {&TForm1::tbsTime, &TForm1::tbsTimeShow},           {&TForm1::tbsMenu, &TForm1::tbsMenuShow},
        {&TForm1::tbsMail, &TForm1::tbsMailShow},           {&TForm1::tbsSysParams, &TForm1::tbsSysParamsShow},
        {&TForm1::tbsMessages, &TForm1::tbsMessagesShow},
    };
    // Below the system level the last two pages are not read, only cleared.
    const int read = SystemLevel() ? int(std::size(pages)) : pgSysParams;
    for (int i = 0; i < int(std::size(pages)); ++i) {
        const QString name = PageControl1->tabText(PageControl1->indexOf(this->*pages[i].first));
        if (progress && i < read && !progress(i + 1, read, name))
            return false;
        (this->*pages[i].second)();
        m_server->WaitIdle();
    }
    return true;
}

QByteArray TForm1::SettingsText()
{
    TExportText out;
    out.Line(QStringLiteral("Версия прошивки: ") + m_versionJob->GetText());
    out.Line();
    out.Header("Номера");
    out.Line(QStringLiteral("Добавочные номера:       ") + ListJob->GetText());
    out.Line(QStringLiteral("Код оператора:           ") + OpCodeJob->GetText());
    out.Line(QStringLiteral("Дневной номер оператора: ") + OpNumDayJob->GetText());
    out.Line(QStringLiteral("Ночной номер оператора:  ") + OpNumNightJob->GetText());
    out.Line(QStringLiteral("Номер факса:             ") + FaxNumJob->GetText());
    out.Line(QStringLiteral("Пароль администратора:   ") + AdmPwdJob->GetText());
    out.Line();
    out.Header("Приветствия");
    for (int row = 1; row <= int(std::size(GreetingLabels)); ++row) {
        out.Line(QString::fromUtf8(GreetingLabels[row - 1]));
        out.Line(sgGreetings->Objects(0, row)->GetText());
    }
    out.Line();
    out.Header("Расписание");
    for (int row = 1; row <= int(std::size(DayLabels)); ++row)
        out.Line(QString::fromUtf8(DayLabels[row - 1]) + sgTime->Objects(1, row)->GetText() + QStringLiteral("-")
                 + sgTime->Objects(2, row)->GetText());
    out.Line();
    out.Line(QStringLiteral("Праздничный режим: ") + HolidayJob->GetText());
    out.Line();
    out.Header("Меню");
    for (int row = 1; row < sgMenu->RowCount(); ++row) {
        out.Line(QStringLiteral("Меню %1: ").arg(row - 1, 2, 10, QLatin1Char('0')));
        out.Line(sgMenu->Objects(0, row)->GetText());
    }
    out.Line();
    out.Header("Почта ");
    out.Line(MailJob->GetText());
    out.Line();

    const bool system = SystemLevel();
    out.Header("Системные параметры");
    if (!system)
        out.Line(Unavailable);
    for (int row = 1; system && row < sgSysParams->RowCount(); ++row)
        if (TJoint1* job = sgSysParams->Objects(2, row))
            out.Line(sgSysParams->Cells(0, row) + QStringLiteral(" - ") + sgSysParams->Cells(1, row)
                     + QStringLiteral(": ") + job->GetText());
    out.Line();
    out.Header("Замена приветствий голосовыми меню");
    if (!system)
        out.Line(Unavailable);
    for (int col = 2; system && col < sgGreetOverride->ColCount(); ++col) {
        out.Line(QStringLiteral("Линия %1: ").arg(col - 1));
        auto* replace = static_cast<TChoice*>(sgGreetOverride->Objects(col, 1));
        if (replace->ItemIndex == 0) {
            out.Line(QStringLiteral("Не заменять"));
            continue;
        }
        QString line = replace->GetText();
        for (int row = 2; row < sgGreetOverride->RowCount(); ++row)
            line += QString::fromUtf8(OverrideMenuLabels[row - 2]) + sgGreetOverride->Objects(col, row)->GetText();
        out.Line(line);
    }
    out.Line();
    out.Header("Замена сообщений");
    if (!system)
        out.Line(Unavailable);
    for (int row = 1; system && row < sgMessages->RowCount(); ++row)
        if (TJoint1* job = sgMessages->Objects(1, row))
            out.Line(QStringLiteral("(") + sgMessages->Cells(0, row) + QStringLiteral("): ") + job->GetText());
    out.Line();
    return out.Bytes();
}

// The target is checked before the pages are read, so that a folder that
// cannot be written is reported at once rather than after every page was read.
// Any message while the pages are read means a value may be missing or wrong:
// the earlier file then stays as it was.
bool TForm1::ExportSettings(const QString& path, QString& error, const TReadProgress& progress)
{
    const auto fail = [&](const QString& reason) {
        error = QStringLiteral("Не удалось записать настройки в файл %1: %2").arg(path, reason);
        return false;
    };
    if (const auto problem = OutputProblem(path))
        return fail(*problem);
    BeginBusy();
    bool read = false;
    {
        const TMessageCounter messages;
        if (!RefreshAllPages(progress)) {
            EndBusy();
            return false; // stopped: the earlier file stays, the caller says why
        }
        read = messages.Count() == 0 && m_session->Level != TAAMenu::lvOff;
    }
    if (!read) {
        EndBusy();
        error = QStringLiteral("Не удалось прочитать все настройки: экспорт в файл %1 не выполнен").arg(path);
        return false;
    }
    QString reason;
    const bool written = WriteOutputFile(path, SettingsText(), TFileAccess::Owner, reason);
    EndBusy();
    return written || fail(reason);
}

void TForm1::btnExportClick()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Текстовые файлы (*.txt *.TXT)"), QStringLiteral("Все файлы (*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(QStringLiteral("settings.txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString error;
    if (!ExportSettings(dialog.selectedFiles().constFirst(), error))
        ErrorBox(error);
}
