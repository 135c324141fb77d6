// The catalogue builder: the fixed texts of every grid (headers, row names,
// code column) and the sizes the grids end with. A few names mix Latin letters
// into Cyrillic text (the C of "Cистемный", the c of "…, c", the x of "x10мс"):
// that is how the unit's own documentation spells them, kept as it is.
#include "Unit1.h"

#include "ui/StringGrid.h"

#include <QLabel>

namespace {

struct TNamedCode {
    int Code;
    const char* Name;
};

// Rows 1 to 38 of the system parameters, in order.
const TNamedCode SysParams[] = {
    {0, "Cистемный пароль"},
    {1, "Уровень ограничения доступа"},
    {10, "Тип набора на абонентских линиях УАТС"},
    {11, "Длительность цифр при тональном наборе"},
    {12, "Длительность FLASH в миллисекундах"},
    {13, "Уровень усиления по приему, дБ+12"},
    {14, "Уровень усиления по передаче, дБ+12"},
    {15, "Число звонков до ответа на входящий вызов"},
    {16, "Время ожидания при вызове абонента, с"},
    {17, "Время ожидания набора номера после воспроизведения приветствия, c"},
    {18, "Время реакции на разрыв шлейфа, x10мс"},
    {20, "Комбинация для перевода звонка"},
    {21, "Комбинация для возвращения к исходному вызову"},
    {22, "Комбинация для включения индикатора сообщения"},
    {23, "Комбинация для выключения индикатора сообщения"},
    {24, "Комбинация для постановки на удержание"},
    {25, "Комбинация для снятия с удержания"},
    {30, "Абонент занят"},
    {31, "Абонент свободен, идет вызов"},
    {32, "Абонент ответил"},
    {40, "Время ожидания команды от УАТС, х0.1с"},
    {41, "Оставить сообщение"},
    {42, "Читать сообщения"},
    {43, "Перевод звонка на автосекретарь по отсутствию ответа"},
    {44, "Перевод звонка на автосекретарь по \"занято\""},
    {80, "Выдача сообщения перед переводом звонка"},
    {81, "Выдача сообщения перед отбоем при невозможности обработки вызова"},
    {82, "Выдача сообщения \"Оставьте сообщение после сигнала...\" после приветствия владельца ящика"},
    {83, "Выдача сообщения перед соединением при переводе звонка"},
    {90, "Назначение ящика 999"},
    {91, "Способ сопровождаемого перевода вызова"},
    {92, "Коррекция хода часов"},
    {93, "Пауза перед приветствием, х0.1с"},
    {94, "Всегда ожидать тональный набор от абонента"},
    {95, "Действия при отсутствии набора от абонента"},
    {96, "Пауза между попытками дозвона, c"},
    {97, "При таймауте выполнять действие на 0"},
    {98, "Принудительное отключение АРУ"},
};

// Rows 1 to 14 of the service messages; the code of row r is 59 + r.
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
constexpr int FirstMessageCode = 60;

// Rows 1 to 5 of the greeting override: codes shown, and the name.
const char* const OverrideRows[][2] = {
    {"501..506", "Заменять приветствия"},
    {"511..516", "Меню замены - день"},
    {"521..526", "Меню замены - ночь"},
    {"531..536", "Меню замены - праздник"},
    {"541..546", "Меню замены - перевод вызова"},
};

const char* const WeekDays[] = {"Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота", "Воскресенье"};
const char* const Greetings[] = {"Дневное", "Ночное", "Праздничное"};
constexpr int MenuCount = 20;
constexpr int SysParamRowsDesigned = 40;

void SetHeader(TStringGrid* grid, std::initializer_list<const char*> texts)
{
    int col = 0;
    for (const char* text : texts)
        grid->SetCells(col++, 0, QString::fromUtf8(text));
}

// Key columns 2 to 11 are headed by the digits 0 to 9.
void SetKeyHeader(TStringGrid* grid, const char* first)
{
    SetHeader(grid, {first, "Имя файла"});
    for (int key = 0; key <= 9; ++key)
        grid->SetCells(key + 2, 0, QString::number(key));
}

// A name that may be wider than its column: the tooltip shows all of it.
void SetName(TStringGrid* grid, int col, int row, const QString& text)
{
    grid->SetCells(col, row, text);
    grid->item(row - 1, col)->setToolTip(text);
}

} // namespace

void TForm1::BuildCatalogue()
{
    SetKeyHeader(sgGreetings, "Приветствие");
    for (int row = 1; row <= int(std::size(Greetings)); ++row)
        sgGreetings->SetCells(0, row, QString::fromUtf8(Greetings[row - 1]));
    lblGreetAct->hide();

    SetKeyHeader(sgMenu, "№");
    sgMenu->SetRowCount(MenuCount + 1);
    for (int row = 1; row <= MenuCount; ++row)
        sgMenu->SetCells(0, row, QString::number(row - 1));
    lblMenuAct->hide();

    SetHeader(sgMail, {"Владелец", "Размер", "Режим оповещения", "Период оповещения"});
    sgMail->SetColCount(2);

    SetHeader(sgSysParams, {"Код", "Наименование Параметра", "Значение"});
    sgSysParams->SetRowCount(SysParamRowsDesigned - 1);
    for (int row = 1; row <= int(std::size(SysParams)); ++row) {
        sgSysParams->SetCells(0, row, QString::asprintf("%.2d", SysParams[row - 1].Code));
        SetName(sgSysParams, 1, row, QString::fromUtf8(SysParams[row - 1].Name));
    }

    SetHeader(sgTime, {"День недели", "Начало", "Конец"});
    for (int row = 1; row <= int(std::size(WeekDays)); ++row)
        sgTime->SetCells(0, row, QString::fromUtf8(WeekDays[row - 1]));

    SetHeader(sgGreetOverride, {"Код", "Наименование параметра"});
    for (int line = 1; line <= 6; ++line)
        sgGreetOverride->SetCells(line + 1, 0, QStringLiteral("Линия ") + QString::number(line));
    for (int row = 1; row <= int(std::size(OverrideRows)); ++row) {
        sgGreetOverride->SetCells(0, row, QString::fromUtf8(OverrideRows[row - 1][0]));
        SetName(sgGreetOverride, 1, row, QString::fromUtf8(OverrideRows[row - 1][1]));
    }

    SetHeader(sgMessages, {"Сообщение", "Имя файла", "Длительность", "Размер файла"});
    for (int row = 1; row <= int(std::size(Messages)); ++row)
        SetName(sgMessages, 0, row,
                QString::fromUtf8(Messages[row - 1]) + QStringLiteral(": ")
                    + QString::number(FirstMessageCode + row - 1));

    PageLoaded.fill(false);
}
