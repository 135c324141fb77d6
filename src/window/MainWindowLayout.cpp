// The controls of the main window and where they sit. Every control carries
// its member name as its object name. The window is fixed at a client area of
// 664 × 488; grids scroll inside their pages.
#include "Unit1.h"
#include "settings/MenuDlg.h"
#include "ui/StringGrid.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 664;
constexpr int ClientHeight = 488;
constexpr int StatusWidths[] = {100, 50, 200, 150};
constexpr int GridRowHeight = 20;

template <class T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text)
{
    return Named(new QPushButton(text, parent), name);
}

QLabel* Label(QWidget* parent, const char* name, const QString& text)
{
    return Named(new QLabel(text, parent), name);
}

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* name)
{
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setReadOnly(true);
    return edit;
}

// A grid of the form's design size with its column widths; the last column
// takes what is left.
TStringGrid* Grid(QWidget* parent, const char* name, int cols, int rows, std::initializer_list<int> widths)
{
    auto* grid = Named(new TStringGrid(parent), name);
    grid->SetColCount(cols);
    grid->SetRowCount(rows);
    int col = 0;
    for (int width : widths)
        grid->setColumnWidth(col++, width);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    return grid;
}

// The keys' actions ("N219", "L101") read whole in any font: columns from
// the first key's on follow their content, never narrower than designed.
void FitKeyColumns(TStringGrid* grid)
{
    QHeaderView* header = grid->horizontalHeader();
    header->setMinimumSectionSize(grid->columnWidth(TMenuDlg::FirstKeyColumn));
    for (int col = TMenuDlg::FirstKeyColumn; col < grid->ColCount(); ++col)
        header->setSectionResizeMode(col, QHeaderView::ResizeToContents);
}

// A status bar panel: its designed width, or what its text needs in the font
// in use when that is more. Never squeezed below that: a cut text misleads.
class TStatusPanel : public QLabel {
public:
    TStatusPanel(int designWidth, QWidget* parent) : QLabel(parent), m_designWidth(designWidth) {}

    QSize sizeHint() const override
    {
        QSize size = QLabel::sizeHint();
        size.setWidth(std::max(size.width(), m_designWidth));
        return size;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    int m_designWidth;
};

// Buttons side by side, pushed to the left.
QHBoxLayout* ButtonRow(std::initializer_list<QWidget*> buttons)
{
    auto* row = new QHBoxLayout;
    for (QWidget* button : buttons)
        row->addWidget(button);
    row->addStretch();
    return row;
}

} // namespace

void TForm1::CreateControls()
{
    auto* central = new QWidget(this);
    PageControl1 = Named(new QTabWidget(central), "PageControl1");
    // Narrow tabs, so that all seven captions fit the fixed width.
    PageControl1->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 5px; }"));
    tbsNumbers = CreateNumbersPage();
    tbsGreetings = CreateGreetingsPage();
    tbsTime = CreateTimePage();
    tbsMenu = CreateMenuPage();
    tbsMail = CreateMailPage();
    tbsSysParams = CreateSysParamsPage();
    tbsMessages = CreateMessagesPage();
    const std::pair<QWidget*, const char*> pages[] = {
        {tbsNumbers, "Номера"}, {tbsGreetings, "Приветствия"}, {tbsTime, "Время"}, {tbsMenu, "Меню"},
        {tbsMail, "Почта"}, {tbsSysParams, "Системные параметры"}, {tbsMessages, "Замена сообщений"},
    };
    for (const auto& [page, caption] : pages)
        PageControl1->addTab(page, QString::fromUtf8(caption));
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::ShowPage);

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 2);
    layout->addWidget(PageControl1);
    layout->addWidget(CreateBottomRow());
    setCentralWidget(central);
    CreateStatusBar();
    PlaceOnScreen();
}

QWidget* TForm1::CreateNumbersPage()
{
    auto* page = Named(new QWidget, "tbsNumbers");
    memNumbers = Named(new QPlainTextEdit(page), "memNumbers");
    memNumbers->setReadOnly(true);
    btnAddNum = Button(page, "btnAddNum", QStringLiteral("Добавить номер"));
    btnAddGroup = Button(page, "btnAddGroup", QStringLiteral("Добавить группу"));
    btnDelNum = Button(page, "btnDelNum", QStringLiteral("Удалить номер"));
    btnDelGroup = Button(page, "btnDelGroup", QStringLiteral("Удалить группу"));
    auto* listButtons = new QGridLayout;
    listButtons->addWidget(btnAddNum, 0, 0);
    listButtons->addWidget(btnAddGroup, 0, 1);
    listButtons->addWidget(btnDelNum, 1, 0);
    listButtons->addWidget(btnDelGroup, 1, 1);
    auto* list = new QVBoxLayout;
    list->addWidget(memNumbers);
    list->addLayout(listButtons);

    struct TRow {
        QLabel*& Caption;
        QLineEdit*& Edit;
        QPushButton*& Change;
        const char* LabelName;
        const char* EditName;
        const char* ButtonName;
        const char* Text;
    };
    const TRow rows[] = {
        {lblOpCode, edtOpCode, btnOpCode, "lblOpCode", "edtOpCode", "btnOpCode", "Код оператора"},
        {lblOpNumDay, edtOpNumDay, btnOpNumDay, "lblOpNumDay", "edtOpNumDay", "btnOpNumDay", "Дневной номер оператора"},
        {lblOpNumNight, edtOpNumNight, btnOpNumNight, "lblOpNumNight", "edtOpNumNight", "btnOpNumNight",
         "Ночной номер оператора"},
        {lblFaxNum, edtFaxNum, btnFaxNum, "lblFaxNum", "edtFaxNum", "btnFaxNum", "Номер факса"},
        {lblAdmPwd, edtAdmPwd, btnAdmPwd, "lblAdmPwd", "edtAdmPwd", "btnAdmPwd", "Пароль администратора"},
    };
    auto* fields = new QGridLayout;
    int line = 0;
    for (const TRow& row : rows) {
        row.Caption = Label(page, row.LabelName, QString::fromUtf8(row.Text));
        row.Edit = ReadOnlyEdit(page, row.EditName);
        row.Edit->setFixedWidth(110);
        row.Change = Button(page, row.ButtonName, QStringLiteral("Изменить"));
        fields->addWidget(row.Caption, line, 0);
        fields->addWidget(row.Edit, line, 1);
        fields->addWidget(row.Change, line, 2);
        ++line;
    }
    fields->setRowStretch(line, 1);

    auto* layout = new QHBoxLayout(page);
    layout->addLayout(list, 1);
    layout->addLayout(fields);
    return page;
}

QWidget* TForm1::CreateGreetingsPage()
{
    auto* page = Named(new QWidget, "tbsGreetings");
    sgGreetings = Grid(page, "sgGreetings", 12, 4, {100, 120, 36, 36, 36, 36, 36, 36, 36, 36, 36});
    FitKeyColumns(sgGreetings);
    Label13 = Label(page, "Label13", QStringLiteral("Действия: М - вызов меню, N - перевод на абонента "));
    lblGreetAct = Label(page, "lblGreetAct",
                        QStringLiteral("L - записать сообщение в ящик, G - чтение сообщений из ящика"));
    btnGreetUpload = Button(page, "btnGreetUpload", QStringLiteral("Загрузить"));
    btnGreetDownload = Button(page, "btnGreetDownload", QStringLiteral("Скачать"));
    btnGreetDelete = Button(page, "btnGreetDelete", QStringLiteral("Удалить"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sgGreetings, 1);
    layout->addWidget(Label13);
    layout->addWidget(lblGreetAct);
    layout->addLayout(ButtonRow({btnGreetUpload, btnGreetDownload, btnGreetDelete}));
    return page;
}

QWidget* TForm1::CreateTimePage()
{
    auto* page = Named(new QWidget, "tbsTime");
    lblTime = Label(page, "lblTime", QStringLiteral("Установка графика работы"));
    sgTime = Grid(page, "sgTime", 3, 8, {160, 110});
    cbHoliday = Named(new QCheckBox(QStringLiteral("Праздничный режим"), page), "cbHoliday");
    btnSetTime = Button(page, "btnSetTime", QStringLiteral("Установить часы"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(lblTime);
    layout->addWidget(sgTime, 1);
    layout->addWidget(cbHoliday);
    layout->addLayout(ButtonRow({btnSetTime}));
    return page;
}

QWidget* TForm1::CreateMenuPage()
{
    auto* page = Named(new QWidget, "tbsMenu");
    sgMenu = Grid(page, "sgMenu", 12, 21, {40, 120, 40, 40, 40, 40, 40, 40, 40, 40, 40});
    FitKeyColumns(sgMenu);
    Label1 = Label(page, "Label1", QStringLiteral("Действия: М - вызов подменю, N - перевод на абонента"));
    lblMenuAct = Label(page, "lblMenuAct",
                       QStringLiteral("L - записать сообщение в ящик, G - чтение сообщений из ящика"));
    btnMenuUpload = Button(page, "btnMenuUpload", QStringLiteral("Загрузить"));
    btnMenuDownload = Button(page, "btnMenuDownload", QStringLiteral("Скачать"));
    btnMenuDelete = Button(page, "btnMenuDelete", QStringLiteral("Удалить"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sgMenu, 1);
    layout->addWidget(Label1);
    layout->addWidget(lblMenuAct);
    layout->addLayout(ButtonRow({btnMenuUpload, btnMenuDownload, btnMenuDelete}));
    return page;
}

QWidget* TForm1::CreateMailPage()
{
    auto* page = Named(new QWidget, "tbsMail");
    sgMail = Grid(page, "sgMail", 4, 41, {200, 120, 140});
    connect(sgMail, &TStringGrid::CellDoubleClicked, this, &TForm1::btnMailEditClick);
    Label8 = Label(page, "Label8", QStringLiteral("Объем свободной памяти:"));
    edtFreeSpace = ReadOnlyEdit(page, "edtFreeSpace");
    edtFreeSpace->setFixedWidth(80);
    btnMailCreate = Button(page, "btnMailCreate", QStringLiteral("Создать ящик"));
    btnMailEdit = Button(page, "btnMailEdit", QStringLiteral("Редактировать параметры"));
    btnMailDelete = Button(page, "btnMailDelete", QStringLiteral("Удалить ящик"));

    auto* space = new QHBoxLayout;
    space->addWidget(Label8);
    space->addWidget(edtFreeSpace);
    space->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sgMail, 1);
    layout->addLayout(space);
    layout->addLayout(ButtonRow({btnMailCreate, btnMailEdit, btnMailDelete}));
    return page;
}

QWidget* TForm1::CreateSysParamsPage()
{
    auto* page = Named(new QWidget, "tbsSysParams");
    sgSysParams = Grid(page, "sgSysParams", 3, 40, {40, 420});
    btnSysParams = Button(page, "btnSysParams", QStringLiteral("Редактировать"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sgSysParams, 1);
    layout->addLayout(ButtonRow({btnSysParams}));
    return page;
}

QWidget* TForm1::CreateMessagesPage()
{
    auto* page = Named(new QWidget, "tbsMessages");
    Label2 = Label(page, "Label2", QStringLiteral("Замена приветствий голосовыми меню"));
    sgGreetOverride = Grid(page, "sgGreetOverride", 8, 6, {64, 170, 60, 60, 60, 60, 60});
    btnGreetOverride = Button(page, "btnGreetOverride", QStringLiteral("Редактировать"));
    Label11 = Label(page, "Label11", QStringLiteral("Замена служебных сообщений"));
    sgMessages = Grid(page, "sgMessages", 4, 15, {300, 110, 95});
    btnMessageUpload = Button(page, "btnMessageUpload", QStringLiteral("Загрузить"));
    btnMessageDownload = Button(page, "btnMessageDownload", QStringLiteral("Скачать"));
    btnMessageDelete = Button(page, "btnMessageDelete", QStringLiteral("Удалить"));

    auto* overrideRow = new QHBoxLayout;
    overrideRow->addWidget(Label2);
    overrideRow->addStretch();
    overrideRow->addWidget(btnGreetOverride);
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(3);
    layout->addLayout(overrideRow);
    layout->addWidget(sgGreetOverride, 1);
    layout->addWidget(Label11);
    layout->addWidget(sgMessages, 1);
    layout->addLayout(ButtonRow({btnMessageUpload, btnMessageDownload, btnMessageDelete}));
    return page;
}

QWidget* TForm1::CreateBottomRow()
{
    auto* row = new QWidget(this);
    btnExport = Button(row, "btnExport", QStringLiteral("Экспорт настроек в файл..."));
    btnPorts = Button(row, "btnPorts", QStringLiteral("Порт..."));
    btnConnect = Button(row, "btnConnect", QStringLiteral("Подключиться"));
    btnDisconnect = Button(row, "btnDisconnect", QStringLiteral("Отключиться"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(btnExport);
    layout->addStretch();
    layout->addWidget(btnPorts);
    layout->addWidget(btnConnect);
    layout->addWidget(btnDisconnect);
    return row;
}

void TForm1::CreateStatusBar()
{
    QStatusBar* bar = Named(new QStatusBar(this), "StatusBar1");
    bar->setSizeGripEnabled(false);
    for (size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new TStatusPanel(StatusWidths[i], bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addWidget(panel);
        StatusPanels[i] = panel;
    }
    setStatusBar(bar);
}

// Fixed size, minimise but no maximise, in the middle of the screen.
void TForm1::PlaceOnScreen()
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
