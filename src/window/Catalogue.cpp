// The catalogue builder: the job behind every setting (its class, code, unit
// menu, limits and place on the screen) and the fixed texts of every grid
// (headers, row names, code column). A few names mix Latin letters into
// Cyrillic text (the C of "Cистемный", the c of "…, c", the x of "x10мс"):
// that is how the unit's own documentation spells them, kept as it is.
#include "Unit1.h"
#include "session/UnitDialog.h"
#include "settings/CheckJob.h"
#include "settings/ChoiceJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/MenuDlg.h"
#include "settings/NumberJobs.h"
#include "settings/TimeJob.h"
#include "settings/VoiceFile.h"
#include "ui/StringGrid.h"

#include <QLabel>

namespace {

enum class TKind { Directory, Choice, Number };

// The limits of a system parameter's dialog, by form: a dialling string's
// lengths and whether "*" may be typed; a number's range; a choice's names in
// the order of the unit's values (at most three).
struct TParamForm {
    TKind Kind;
    int Low = 0;
    int High = 0;
    bool Star = false;
    std::array<const char*, 3> Choices{};
};

constexpr TParamForm Digits(int low, int high, bool star) { return {TKind::Directory, low, high, star}; }
constexpr TParamForm Number(int low, int high) { return {TKind::Number, low, high}; }
constexpr TParamForm Choice(const char* v0, const char* v1, const char* v2 = nullptr)
{
    return {TKind::Choice, 0, 0, false, {v0, v1, v2}};
}

constexpr TParamForm NotGiven = Choice("Сообщение не выдается", "Сообщение выдается");
constexpr TParamForm NoYes = Choice("Нет", "Да");

struct TNamedCode {
    int Code;
    const char* Name;
    TParamForm Form;
};

// Rows 1 to 38 of the system parameters, in order.
const TNamedCode SysParams[] = {
    {0, "Cистемный пароль", Digits(1, 8, false)},
    {1, "Уровень ограничения доступа",
     Choice("Нет ограничения", "Запрет настройки с телефона", "Запрет тонального набора")},
    {10, "Тип набора на абонентских линиях УАТС", Choice("Тональный", "Импульсный")},
    {11, "Длительность цифр при тональном наборе", Choice("80 мс (обычная)", "160 мс (увеличенная)")},
    {12, "Длительность FLASH в миллисекундах", Number(0, 999)},
    {13, "Уровень усиления по приему, дБ+12", Number(0, 24)},
    {14, "Уровень усиления по передаче, дБ+12", Number(0, 24)},
    {15, "Число звонков до ответа на входящий вызов", Number(1, 20)},
    {16, "Время ожидания при вызове абонента, с", Number(0, 240)},
    {17, "Время ожидания набора номера после воспроизведения приветствия, c", Number(0, 99)},
    {18, "Время реакции на разрыв шлейфа, x10мс", Number(0, 250)},
    {20, "Комбинация для перевода звонка", Digits(0, 24, true)},
    {21, "Комбинация для возвращения к исходному вызову", Digits(0, 24, true)},
    {22, "Комбинация для включения индикатора сообщения", Digits(0, 24, true)},
    {23, "Комбинация для выключения индикатора сообщения", Digits(0, 24, true)},
    {24, "Комбинация для постановки на удержание", Digits(0, 24, true)},
    {25, "Комбинация для снятия с удержания", Digits(0, 24, true)},
    {30, "Абонент занят", Digits(0, 8, true)},
    {31, "Абонент свободен, идет вызов", Digits(0, 8, true)},
    {32, "Абонент ответил", Digits(0, 8, true)},
    {40, "Время ожидания команды от УАТС, х0.1с", Number(0, 99)},
    {41, "Оставить сообщение", Digits(0, 24, true)},
    {42, "Читать сообщения", Digits(0, 24, true)},
    {43, "Перевод звонка на автосекретарь по отсутствию ответа", Digits(0, 24, true)},
    {44, "Перевод звонка на автосекретарь по \"занято\"", Digits(0, 24, true)},
    {80, "Выдача сообщения перед переводом звонка", NotGiven},
    {81, "Выдача сообщения перед отбоем при невозможности обработки вызова", NotGiven},
    {82, "Выдача сообщения \"Оставьте сообщение после сигнала...\" после приветствия владельца ящика",
     NotGiven},
    {83, "Выдача сообщения перед соединением при переводе звонка", NotGiven},
    {90, "Назначение ящика 999", Choice("Общий", "Оператора")},
    {91, "Способ сопровождаемого перевода вызова",
     Choice("Контроль \"Занято\" и \"Нет ответа\"", "Только контроль \"Занято\"")},
    {92, "Коррекция хода часов", Number(0, 63)},
    {93, "Пауза перед приветствием, х0.1с", Number(0, 99)},
    {94, "Всегда ожидать тональный набор от абонента", NoYes},
    {95, "Действия при отсутствии набора от абонента", Choice("Отключение", "Перевод на оператора")},
    {96, "Пауза между попытками дозвона, c", Number(0, 240)},
    {97, "При таймауте выполнять действие на 0", NoYes},
    {98, "Принудительное отключение АРУ", Choice("АРУ включено", "АРУ отключено")},
};

// One row per service message, in the order of their codes.
const char* const Messages[] = {
    "\"Пожалуйста, подождите\"",
    "\"Извините, оператор сейчас занят\"",
    "\"Извините, оператор не может сейчас ответить на звонок\"",
    "\"Извините, абонент сейчас занят\"",
    "\"Абонент не отвечает\"",
    "\"Нажмите *, чтобы подождать, нажмите #, чтобы оставить сообщение, или наберите номер другого абонента\"",
    "\"Нажмите *, чтобы подождать, или наберите номер другого абонента\"",
    "\"Оставьте сообщение после сигнала, по завершении нажмите # или повесьте трубку\"",
    "\"Нажмите 1, чтобы прослушать сообщение, 2, чтобы записать сообщение заново, или повесьте трубку\"",
    "\"Извините, почтовый ящик переполнен\"",
    "\"Набран несуществующий номер. Пожалуйста, повторите набор\"",
    "\"Ошибка ввода\"",
    "\"Почтовый ящик не найден\"",
    "Сообщение перед соединением при переводе вызова",
};
static_assert(int(std::size(Messages)) == Unit::ServiceMessages.Count());

// The names of the greeting override's rows, in the order of their codes.
const char* const OverrideRows[] = {
    "Заменять приветствия",
    "Меню замены - день",
    "Меню замены - ночь",
    "Меню замены - праздник",
    "Меню замены - перевод вызова",
};
static_assert(int(std::size(OverrideRows)) == Unit::OverrideRows);

constexpr TParamForm OverrideChoice =
    Choice("0 (Не заменять)", "1 (Только приветствия)", "2 (Приветствия + меню перевода вызова)");
constexpr TParamForm OverrideMenu = Number(0, 39);

// Each day has a start and an end time.
const char* const WeekDays[] = {"Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота", "Воскресенье"};
static_assert(2 * int(std::size(WeekDays)) == Unit::Schedule.Count());
const char* const Greetings[] = {"Дневное", "Ночное", "Праздничное"};
static_assert(int(std::size(Greetings)) == Unit::Greetings.Count());
constexpr int NumberMaxLength = 8;
constexpr int SysParamRowsDesigned = 40;

void SetHeader(TStringGrid* grid, std::initializer_list<const char*> texts)
{
    int col = 0;
    for (const char* text : texts)
        grid->SetCells(col++, 0, QString::fromUtf8(text));
}

// The keys' columns are headed by their digits.
void SetKeyHeader(TStringGrid* grid, const char* first)
{
    SetHeader(grid, {first, "Имя файла"});
    for (int key = 0; key < TMenuDlg::KeyCount; ++key)
        grid->SetCells(TMenuDlg::FirstKeyColumn + key, 0, QString::number(key));
}

// A name that may be wider than its column: the tooltip shows all of it.
void SetName(TStringGrid* grid, int col, int row, const QString& text)
{
    grid->SetCells(col, row, text);
    grid->item(row - 1, col)->setToolTip(text);
}

// A system parameter's or a greeting override's job, by its form and limits.
std::unique_ptr<TJoint1> MakeParamJob(const TParamForm& form)
{
    switch (form.Kind) {
    case TKind::Directory: {
        auto job = std::make_unique<TDirectory>();
        job->MinLength = form.Low;
        job->MaxLength = form.High;
        job->StarAllowed = form.Star;
        return job;
    }
    case TKind::Number: {
        auto job = std::make_unique<TNumber>();
        job->Min = form.Low;
        job->Max = form.High;
        return job;
    }
    case TKind::Choice:
        break;
    }
    auto job = std::make_unique<TChoice>();
    for (const char* name : form.Choices)
        if (name)
            job->Choices << QString::fromUtf8(name);
    return job;
}

// Hangs a job on its grid cell: the job shows its value there, and the page
// finds it there.
void Attach(TJoint1* job, TStringGrid* const* gridRef, int col, int row)
{
    job->GridRef = gridRef;
    job->Col = col;
    job->Row = row;
    (*gridRef)->SetObjects(col, row, job);
}

// A code of the system menu: a single setting or a service message. The
// other kinds of job know their menu themselves.
template <class T>
T* InSystemMenu(T* job, int code)
{
    job->Code = code;
    job->Mode = Unit::umSys;
    return job;
}

} // namespace

TJoint1* TForm1::Adopt(std::unique_ptr<TJoint1> job)
{
    m_jobs.push_back(std::move(job));
    return m_jobs.back().get();
}

// Page by page, in the order of the pages; each page's flag is cleared as it
// is finished.
void TForm1::BuildCatalogue()
{
    BindNumbersPage();
    PageLoaded[pgNumbers] = false;
    BindGreetings();
    PageLoaded[pgGreetings] = false;
    BindMenus();
    PageLoaded[pgMenu] = false;
    BindMailPage();
    PageLoaded[pgMail] = false;
    BindSysParams();
    PageLoaded[pgSysParams] = false;
    BindSchedule();
    PageLoaded[pgTime] = false;
    BindGreetOverride();
    BindMessages();
    PageLoaded[pgMessages] = false;
}

void TForm1::BindNumbersPage()
{
    ListJob = Own<TListDlg>();
    ListJob->TargetLines = memNumbers;
    int code = Unit::NumbersPage.First;
    OpCodeJob = InSystemMenu(Own<TVFCode>(), code);
    OpCodeJob->Display = edtOpCode;
    const std::pair<TVFDirectory**, QLineEdit*> numbers[] = {
        {&OpNumDayJob, edtOpNumDay}, {&OpNumNightJob, edtOpNumNight}, {&FaxNumJob, edtFaxNum}, {&AdmPwdJob, edtAdmPwd}};
    for (const auto& [field, edit] : numbers) {
        auto* job = InSystemMenu(Own<TVFDirectory>(), ++code);
        job->MinLength = field == &AdmPwdJob ? 1 : 0;
        job->MaxLength = NumberMaxLength;
        job->ValueEdit = edit;
        *field = job;
    }
}

// Greetings and menus, one row per code: a row's job on column 0 shows the
// recording's name and the ten keys' actions in columns 1 to 11 of its row.
void TForm1::BindKeyGrid(TStringGrid* const* gridRef, Unit::TCodeRange codes)
{
    for (int row = 1; row <= codes.Count(); ++row) {
        auto* job = Own<TMenuDlg>();
        job->Code = codes.First + row - 1;
        Attach(job, gridRef, 0, row);
    }
}

void TForm1::BindGreetings()
{
    SetKeyHeader(sgGreetings, "Приветствие");
    for (int row = 1; row <= int(std::size(Greetings)); ++row)
        sgGreetings->SetCells(0, row, QString::fromUtf8(Greetings[row - 1]));
    lblGreetAct->hide();
    BindKeyGrid(&sgGreetings, Unit::Greetings);
}

void TForm1::BindMenus()
{
    SetKeyHeader(sgMenu, "№");
    sgMenu->SetRowCount(Unit::Menus.Count() + 1);
    for (int row = 1; row <= Unit::Menus.Count(); ++row)
        sgMenu->SetCells(0, row, QString::number(Unit::Menus.First + row - 1));
    lblMenuAct->hide();
    BindKeyGrid(&sgMenu, Unit::Menus);
}

void TForm1::BindMailPage()
{
    MailJob = Own<TMailDlg>();
    MailJob->GridRef = &sgMail;
    MailJob->FreeSpaceField = edtFreeSpace;
    SetHeader(sgMail, {"Владелец", "Размер", "Режим оповещения", "Период оповещения"});
    sgMail->SetColCount(2);
}

void TForm1::BindSysParams()
{
    SetHeader(sgSysParams, {"Код", "Наименование Параметра", "Значение"});
    for (int row = 1; row <= int(std::size(SysParams)); ++row) {
        const TNamedCode& param = SysParams[row - 1];
        Attach(InSystemMenu(Adopt(MakeParamJob(param.Form)), param.Code), &sgSysParams, 2, row);
        SetName(sgSysParams, 1, row, QString::fromUtf8(param.Name));
        sgSysParams->SetCells(0, row, QString::asprintf("%.2d", param.Code));
    }
    sgSysParams->SetRowCount(SysParamRowsDesigned - 1);
}

// A day's start time, then its end.
void TForm1::BindSchedule()
{
    SetHeader(sgTime, {"День недели", "Начало", "Конец"});
    for (int row = 1; row <= int(std::size(WeekDays)); ++row) {
        sgTime->SetCells(0, row, QString::fromUtf8(WeekDays[row - 1]));
        const int start = Unit::Schedule.First + 2 * (row - 1);
        Attach(InSystemMenu(Own<TTimeDlg>(), start), &sgTime, 1, row);
        Attach(InSystemMenu(Own<TTimeDlg>(), start + 1), &sgTime, 2, row);
    }
    HolidayJob = InSystemMenu(Own<TCheck>(), Unit::HolidayCode);
    HolidayJob->CheckBoxRef = &cbHoliday;
}

// Row r holds the codes of the override's row r − 1, its first and last
// shown as "501..506"; column k (2 to 7) belongs to line k − 1.
void TForm1::BindGreetOverride()
{
    SetHeader(sgGreetOverride, {"Код", "Наименование параметра"});
    for (int line = 0; line < Unit::OverrideLines; ++line)
        sgGreetOverride->SetCells(line + 2, 0, QStringLiteral("Линия ") + QString::number(line + 1));
    for (int row = 1; row <= Unit::OverrideRows; ++row) {
        const int codes = row - 1;
        sgGreetOverride->SetCells(0, row, QStringLiteral("%1..%2")
                                              .arg(Unit::OverrideCode(codes, 0))
                                              .arg(Unit::OverrideCode(codes, Unit::OverrideLines - 1)));
        SetName(sgGreetOverride, 1, row, QString::fromUtf8(OverrideRows[codes]));
        const TParamForm& form = codes == 0 ? OverrideChoice : OverrideMenu;
        for (int line = 0; line < Unit::OverrideLines; ++line)
            Attach(InSystemMenu(Adopt(MakeParamJob(form)), Unit::OverrideCode(codes, line)), &sgGreetOverride,
                   line + 2, row);
    }
}

void TForm1::BindMessages()
{
    SetHeader(sgMessages, {"Сообщение", "Имя файла", "Длительность", "Размер файла"});
    for (int row = 1; row <= int(std::size(Messages)); ++row) {
        const int code = Unit::ServiceMessages.First + row - 1;
        SetName(sgMessages, 0, row, QString::fromUtf8(Messages[row - 1]) + QStringLiteral(": ") + QString::number(code));
        Attach(InSystemMenu(Own<TFile>(), code), &sgMessages, 1, row);
    }
}

TFile* TForm1::VoiceFileJob(bool message, int code) const
{
    // The recording's job hangs on the name column of the messages, on the
    // key column of the greetings and menus.
    const std::pair<const TStringGrid*, int> columns[] = {{sgMenu, 0}, {sgGreetings, 0}, {sgMessages, 1}};
    for (const auto& [grid, col] : columns) {
        if ((grid == sgMessages) != message)
            continue;
        for (int row = 1; row < grid->RowCount(); ++row) {
            auto* job = dynamic_cast<TFile*>(grid->Objects(col, row));
            if (job && job->Code == code)
                return job;
        }
    }
    return nullptr;
}
