// The main window as it starts: caption, size, pages, controls with their
// names and texts, the grids' fixed texts, the disconnected look, the busy
// look, and the port dialog writing or not writing the setting.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "window/Unit1.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "settings/CheckJob.h"
#include "settings/ChoiceJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/MenuDlg.h"
#include "settings/NumberJobs.h"
#include "settings/TimeJob.h"
#include "ui/Ports.h"
#include "ui/RadioGroup.h"
#include "ui/StringGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QtTest>

using namespace TestSupport;

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("pt71qm"));
}

QStringList headers(const TStringGrid* grid)
{
    QStringList texts;
    for (int col = 0; col < grid->ColCount(); ++col)
        texts << grid->Cells(col, 0);
    return texts;
}

QStringList column(const TStringGrid* grid, int col)
{
    QStringList texts;
    for (int row = 1; row < grid->RowCount(); ++row)
        texts << grid->Cells(col, row);
    return texts;
}

// How many slots a signal reaches: QObject keeps that count to itself.
struct TSignalPeek : QObject {
    static int Receivers(const QObject* object, const char* signal)
    {
        return (object->*(&TSignalPeek::receivers))(signal);
    }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TForm1> window;
    std::unique_ptr<TFormComm> comm;

    void create()
    {
        window = std::make_unique<TForm1>(QStringLiteral("/opt/tools/Parlotel.Setup.exe"));
        comm = std::make_unique<TFormComm>();
    }

    // Every control that DisablePanels/EnablePanels switches by its enabled state.
    QList<QWidget*> switchedControls() const
    {
        return {window->btnSetTime, window->cbHoliday, window->btnAddNum, window->btnAddGroup, window->btnDelNum,
                window->btnDelGroup, window->btnOpCode, window->btnOpNumDay, window->btnOpNumNight, window->btnFaxNum,
                window->btnAdmPwd, window->btnGreetUpload, window->btnGreetDownload, window->btnGreetDelete,
                window->btnMenuUpload, window->btnMenuDownload, window->btnMenuDelete, window->sgMail,
                window->btnMailCreate, window->btnMailEdit, window->btnMailDelete, window->btnSysParams,
                window->btnMessageUpload, window->btnMessageDownload, window->btnMessageDelete};
    }
    QList<TStringGrid*> doubleClickGrids() const
    {
        return {window->sgTime, window->sgGreetings, window->sgMenu, window->sgSysParams, window->sgMessages,
                window->sgGreetOverride};
    }
    static int doubleClickReceivers(TStringGrid* grid)
    {
        return TSignalPeek::Receivers(grid, SIGNAL(CellDoubleClicked(int, int)));
    }

private slots:
    void init()
    {
        settings().clear();
    }
    void cleanup()
    {
        const QStringList problems = CloseLeftoverModals();
        window.reset();
        comm.reset();
        // The stopped worker's last wake-up is still queued: deliver it while
        // everything it may touch exists.
        QCoreApplication::sendPostedEvents();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    void captionNamesTheExecutable()
    {
        QCOMPARE(MainCaption(QStringLiteral("/usr/bin/parlotel")), QStringLiteral("parlotel v.1.4.4"));
        QCOMPARE(MainCaption(QStringLiteral("C:/Program Files/AA/AAConfig.exe")), QStringLiteral("AAConfig v.1.4.4"));
        create();
        QCOMPARE(window->windowTitle(), QStringLiteral("Parlotel.Setup v.1.4.4"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Parlotel.Setup"));
    }

    void startsReadyAndDisconnected()
    {
        create();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), QSize(664, 488));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->BusyCount(), 0);
        QCOMPARE(window->StatusPanels[0]->text(), QStringLiteral("Готово"));
        QCOMPARE(window->StatusPanels[1]->text(), QStringLiteral("COM1"));
        QCOMPARE(window->StatusPanels[2]->text(), QStringLiteral("Отключено"));
        QCOMPARE(window->StatusPanels[3]->text(), QString());
        QList<int> widths;
        for (QLabel* panel : window->StatusPanels)
            widths << panel->width();
        QCOMPARE(widths, QList<int>({100, 50, 200, 150}));

        QVERIFY(window->btnConnect->isEnabled());
        QVERIFY(!window->btnDisconnect->isEnabled());
        QVERIFY(window->btnPorts->isEnabled());
        QVERIFY(!window->btnExport->isEnabled());
        QVERIFY(window->btnGreetOverride->isEnabled());
        for (QWidget* control : switchedControls())
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        for (TStringGrid* grid : doubleClickGrids())
            QVERIFY2(grid->isEnabled() && doubleClickReceivers(grid) == 0, qPrintable(grid->objectName()));

        // Every level's look, and back.
        window->ShowLevel(3);
        QCOMPARE(window->StatusPanels[2]->text(), QStringLiteral("Режим: Системный"));
        for (QWidget* control : switchedControls())
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        window->EnablePanels(); // twice attaches once
        for (TStringGrid* grid : doubleClickGrids())
            QCOMPARE(doubleClickReceivers(grid), 1);
        QVERIFY(!window->btnConnect->isEnabled() && window->btnDisconnect->isEnabled());
        QVERIFY(!window->btnPorts->isEnabled() && window->btnExport->isEnabled());
        window->ShowLevel(2);
        QCOMPARE(window->StatusPanels[2]->text(), QStringLiteral("Режим: Администратор"));
        window->ShowLevel(1);
        QCOMPARE(window->StatusPanels[2]->text(), QStringLiteral("Подключение к устройству..."));
        QVERIFY(window->btnConnect->isEnabled() && !window->btnPorts->isEnabled());
        for (TStringGrid* grid : doubleClickGrids())
            QCOMPARE(doubleClickReceivers(grid), 0);
        window->ShowLevel(7); // only the port panel
        QCOMPARE(window->StatusPanels[2]->text(), QStringLiteral("Подключение к устройству..."));
    }

    void pagesAndControlsCarryTheirNamesAndTexts()
    {
        create();
        const QStringList pages = {"Номера", "Приветствия", "Время", "Меню", "Почта", "Системные параметры",
                                   "Замена сообщений"};
        const QStringList pageNames = {"tbsNumbers", "tbsGreetings", "tbsTime", "tbsMenu", "tbsMail",
                                       "tbsSysParams", "tbsMessages"};
        QCOMPARE(window->PageControl1->count(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(window->PageControl1->tabText(i), pages[i]);
            QCOMPARE(window->PageControl1->widget(i)->objectName(), pageNames[i]);
        }
        const QList<std::pair<QString, QString>> buttons = {
            {"btnAddNum", "Добавить номер"}, {"btnAddGroup", "Добавить группу"}, {"btnDelNum", "Удалить номер"},
            {"btnDelGroup", "Удалить группу"}, {"btnOpCode", "Изменить"}, {"btnAdmPwd", "Изменить"},
            {"btnGreetUpload", "Загрузить"}, {"btnGreetDownload", "Скачать"}, {"btnGreetDelete", "Удалить"},
            {"btnSetTime", "Установить часы"}, {"btnMenuDelete", "Удалить"}, {"btnMailCreate", "Создать ящик"},
            {"btnMailEdit", "Редактировать параметры"}, {"btnMailDelete", "Удалить ящик"},
            {"btnSysParams", "Редактировать"}, {"btnGreetOverride", "Редактировать"},
            {"btnMessageUpload", "Загрузить"}, {"btnExport", "Экспорт настроек в файл..."}, {"btnPorts", "Порт..."},
            {"btnConnect", "Подключиться"}, {"btnDisconnect", "Отключиться"}};
        for (const auto& [name, text] : buttons) {
            auto* button = window->findChild<QPushButton*>(name);
            QVERIFY2(button, qPrintable(name));
            QCOMPARE(button->text(), text);
        }
        const QList<std::pair<QString, QString>> labels = {
            {"lblOpCode", "Код оператора"}, {"lblOpNumDay", "Дневной номер оператора"},
            {"lblOpNumNight", "Ночной номер оператора"}, {"lblFaxNum", "Номер факса"},
            {"lblAdmPwd", "Пароль администратора"}, {"lblTime", "Установка графика работы"},
            {"Label8", "Объем свободной памяти:"}, {"Label2", "Замена приветствий голосовыми меню"},
            {"Label11", "Замена служебных сообщений"},
            {"lblGreetAct", "L - записать сообщение в ящик, G - чтение сообщений из ящика"},
            // Cyrillic Em before " - вызов", Latin N; the greeting legend ends with a blank.
            {"Label13", "Действия: \u041C - вызов меню, N - перевод на абонента "},
            {"Label1", "Действия: \u041C - вызов подменю, N - перевод на абонента"}};
        for (const auto& [name, text] : labels) {
            auto* label = window->findChild<QLabel*>(name);
            QVERIFY2(label, qPrintable(name));
            QCOMPARE(label->text(), text);
        }
        QCOMPARE(window->cbHoliday->text(), QStringLiteral("Праздничный режим"));
        QVERIFY(window->lblGreetAct->isHidden() && window->lblMenuAct->isHidden());
        for (const char* name : {"memNumbers", "edtOpCode", "edtOpNumDay", "edtOpNumNight", "edtFaxNum", "edtAdmPwd",
                                 "edtFreeSpace", "sgGreetings", "sgTime", "sgMenu", "sgMail", "sgSysParams",
                                 "sgGreetOverride", "sgMessages", "StatusBar1", "PageControl1"})
            QVERIFY2(window->findChild<QWidget*>(QLatin1String(name)), name);
    }

    void gridsHaveTheirSizesAndFixedTexts()
    {
        create();
        TStringGrid* sys = window->sgSysParams;
        QCOMPARE(sys->RowCount(), 39);
        QCOMPARE(headers(sys), QStringList({"Код", "Наименование Параметра", "Значение"}));
        const QStringList codes = column(sys, 0);
        QCOMPARE(codes.size(), 38);
        QCOMPARE(codes.first(), QStringLiteral("00"));
        QCOMPARE(codes[2], QStringLiteral("10"));
        QCOMPARE(codes.last(), QStringLiteral("98"));
        // The Latin letters the unit's documentation mixes in.
        QCOMPARE(sys->Cells(1, 1), QStringLiteral("C") + QStringLiteral("истемный пароль"));
        QVERIFY(sys->Cells(1, 10).endsWith(QStringLiteral(", c")));
        QCOMPARE(sys->Cells(1, 11), QStringLiteral("Время реакции на разрыв шлейфа, x10мс"));
        QVERIFY(sys->Cells(1, 36).endsWith(QStringLiteral("дозвона, c")));
        QVERIFY(sys->Cells(1, 9).endsWith(QStringLiteral(", \u0441"))); // Cyrillic here
        QCOMPARE(sys->Cells(1, 21), QStringLiteral("Время ожидания команды от УАТС, \u04450.1\u0441"));
        QCOMPARE(sys->Cells(1, 28),
                 QStringLiteral("Выдача сообщения \"Оставьте сообщение после сигнала...\" после приветствия владельца ящика"));
        QCOMPARE(sys->item(27, 1)->toolTip(), sys->Cells(1, 28));

        QCOMPARE(window->sgMenu->RowCount(), 21);
        QCOMPARE(window->sgMenu->ColCount(), 12);
        QCOMPARE(headers(window->sgMenu).mid(0, 3), QStringList({"№", "Имя файла", "0"}));
        QCOMPARE(headers(window->sgMenu).last(), QStringLiteral("9"));
        QCOMPARE(window->sgMenu->Cells(0, 20), QStringLiteral("19"));
        QCOMPARE(window->sgMail->ColCount(), 2);
        QCOMPARE(window->sgMail->RowCount(), 41);
        QCOMPARE(headers(window->sgMail), QStringList({"Владелец", "Размер"}));
        QCOMPARE(window->sgGreetings->RowCount(), 4);
        QCOMPARE(headers(window->sgGreetings).mid(0, 2), QStringList({"Приветствие", "Имя файла"}));
        QCOMPARE(column(window->sgGreetings, 0), QStringList({"Дневное", "Ночное", "Праздничное"}));
        QCOMPARE(headers(window->sgTime), QStringList({"День недели", "Начало", "Конец"}));
        QCOMPARE(column(window->sgTime, 0), QStringList({"Понедельник", "Вторник", "Среда", "Четверг", "Пятница",
                                                         "Суббота", "Воскресенье"}));
        QCOMPARE(headers(window->sgGreetOverride),
                 QStringList({"Код", "Наименование параметра", "Линия 1", "Линия 2", "Линия 3", "Линия 4",
                              "Линия 5", "Линия 6"}));
        QCOMPARE(column(window->sgGreetOverride, 0),
                 QStringList({"501..506", "511..516", "521..526", "531..536", "541..546"}));
        QCOMPARE(window->sgGreetOverride->Cells(1, 5), QStringLiteral("Меню замены - перевод вызова"));
        QCOMPARE(headers(window->sgMessages), QStringList({"Сообщение", "Имя файла", "Длительность", "Размер файла"}));
        QCOMPARE(window->sgMessages->RowCount(), 15);
        QCOMPARE(window->sgMessages->Cells(0, 1), QStringLiteral("\"Пожалуйста, подождите\": 60"));
        QCOMPARE(window->sgMessages->Cells(0, 14),
                 QStringLiteral("Сообщение перед соединением при переводе вызова: 73"));
        QVERIFY(std::all_of(window->PageLoaded.begin(), window->PageLoaded.end(), [](bool f) { return !f; }));
    }

    // Every job on its own cell with its code, menu and limits; the fixed
    // columns hold none.
    void catalogueJobsSitOnTheirCells()
    {
        create();
        TForm1& w = *window;
        const auto bound = [](const TJoint1* job, const TStringGrid* grid, int col, int row, int code, int mode) {
            return job && job->Grid() == grid && job->Col == col && job->Row == row && job->Code == code
                && job->Mode == mode;
        };
        for (int row = 1; row <= 3; ++row)
            QVERIFY(bound(dynamic_cast<TMenuDlg*>(w.sgGreetings->Objects(0, row)), w.sgGreetings, 0, row, 19 + row, 9));
        for (int row = 1; row <= 20; ++row)
            QVERIFY(bound(dynamic_cast<TMenuDlg*>(w.sgMenu->Objects(0, row)), w.sgMenu, 0, row, row - 1, 9));
        for (int row = 1; row <= 38; ++row)
            QVERIFY(bound(w.sgSysParams->Objects(2, row), w.sgSysParams, 2, row, w.sgSysParams->Cells(0, row).toInt(), 6));
        for (int row = 1; row <= 7; ++row)
            for (int col : {1, 2})
                QVERIFY(bound(dynamic_cast<TTimeDlg*>(w.sgTime->Objects(col, row)), w.sgTime, col, row,
                              108 + col + 2 * row, 6));
        for (int row = 1; row <= 5; ++row)
            for (int line = 1; line <= 6; ++line)
                QVERIFY(bound(w.sgGreetOverride->Objects(line + 1, row), w.sgGreetOverride, line + 1, row,
                              490 + 10 * row + line, 6));
        for (int row = 1; row <= 14; ++row)
            QVERIFY(bound(dynamic_cast<TFile*>(w.sgMessages->Objects(1, row)), w.sgMessages, 1, row, 59 + row, 6));
        for (const auto& [grid, cols] : {std::pair{w.sgGreetings, QList<int>{1, 11}}, {w.sgSysParams, {0, 1}},
                                          {w.sgTime, {0}}, {w.sgGreetOverride, {0, 1}}, {w.sgMessages, {0, 2, 3}}})
            for (int col : cols)
                QVERIFY(!grid->Objects(col, 1) && !grid->Objects(col, 0));

        const auto* password = dynamic_cast<TDirectory*>(w.sgSysParams->Objects(2, 1));
        QVERIFY(password && password->MinLength == 1 && password->MaxLength == 8 && !password->StarAllowed);
        const auto* flash = dynamic_cast<TNumber*>(w.sgSysParams->Objects(2, 5));
        QVERIFY(flash && flash->Min == 0 && flash->Max == 999);
        const auto* transfer = dynamic_cast<TDirectory*>(w.sgSysParams->Objects(2, 12));
        QVERIFY(transfer && transfer->MinLength == 0 && transfer->MaxLength == 24 && transfer->StarAllowed);
        const auto* busy = dynamic_cast<TDirectory*>(w.sgSysParams->Objects(2, 18));
        QVERIFY(busy && busy->MaxLength == 8 && busy->StarAllowed);
        const auto* following = dynamic_cast<TChoice*>(w.sgSysParams->Objects(2, 31));
        QVERIFY(following);
        QCOMPARE(following->Choices,
                 QStringList({"Контроль \"Занято\" и \"Нет ответа\"", "Только контроль \"Занято\""}));
        const auto* replace = dynamic_cast<TChoice*>(w.sgGreetOverride->Objects(2, 1));
        QVERIFY(replace && replace->Choices.size() == 3);
        QCOMPARE(replace->Choices[2], QStringLiteral("2 (Приветствия + меню перевода вызова)"));
        const auto* menu = dynamic_cast<TNumber*>(w.sgGreetOverride->Objects(7, 5));
        QVERIFY(menu && menu->Min == 0 && menu->Max == 39);

        QVERIFY(w.ListJob->Mode == 7 && w.ListJob->TargetLines == w.memNumbers);
        QVERIFY(w.OpCodeJob->Code == 100 && w.OpCodeJob->Mode == 6 && w.OpCodeJob->Display == w.edtOpCode);
        const std::tuple<TVFDirectory*, int, QLineEdit*, int> numbers[] = {
            {w.OpNumDayJob, 101, w.edtOpNumDay, 0}, {w.OpNumNightJob, 102, w.edtOpNumNight, 0},
            {w.FaxNumJob, 103, w.edtFaxNum, 0}, {w.AdmPwdJob, 104, w.edtAdmPwd, 1}};
        for (const auto& [job, code, edit, minimum] : numbers)
            QVERIFY(job->Code == code && job->Mode == 6 && job->ValueEdit == edit && job->MinLength == minimum
                    && job->MaxLength == 8 && !job->StarAllowed);
        QVERIFY(w.MailJob->Mode == 8 && w.MailJob->Grid() == w.sgMail && w.MailJob->FreeSpaceField == w.edtFreeSpace);
        QVERIFY(w.HolidayJob->Code == 110 && w.HolidayJob->Mode == 6 && w.HolidayJob->CheckBox() == w.cbHoliday);
    }

    void busyDetachesTheBottomButtonsAndDisablesThePages()
    {
        create();
        window->BeginBusy();
        window->BeginBusy();
        QCOMPARE(window->StatusPanels[0]->text(), QStringLiteral("Передача данных"));
        QVERIFY(!window->PageControl1->isEnabled());
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        // The button keeps its look but a click opens no port dialog.
        QVERIFY(window->btnPorts->isEnabled());
        window->btnPorts->click();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(!window->close());
        window->EndBusy();
        QVERIFY(!window->PageControl1->isEnabled());
        window->EndBusy();
        QCOMPARE(window->StatusPanels[0]->text(), QStringLiteral("Готово"));
        QVERIFY(window->PageControl1->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
    }

    void portDialogWritesOnlyOnOk()
    {
        create();
        AnswerNextModal<TFormPorts>([](TFormPorts* d) { d->reject(); });
        window->btnPorts->click();
        QVERIFY(WaitModalsAnswered());
        QVERIFY(!settings().contains(QStringLiteral("COMPort")));
        QCOMPARE(window->StatusPanels[1]->text(), QStringLiteral("COM1"));

        // COM3 given a network address: the panel keeps the number and shows the address.
        const QString address = QStringLiteral("tcp://10.0.0.7:4001");
        AnswerNextModal<TFormPorts>([&](TFormPorts* d) {
            QCOMPARE(d->rgPorts->ItemIndex(), 0);
            ClickIndicator(d->rgPorts->Button(2));
            d->cbDevice->lineEdit()->setText(address);
            QTest::keyClick(d->cbDevice->lineEdit(), Qt::Key_Return);
            d->btnOK->click();
        });
        window->btnPorts->click();
        QVERIFY(WaitModalsAnswered());
        QCOMPARE(settings().value(QStringLiteral("COMPort")).toString(), QStringLiteral("3"));
        QCOMPARE(window->Session()->PortNumber, 3);
        QCOMPARE(window->StatusPanels[1]->text(), QStringLiteral("COM3"));
        QCOMPARE(window->StatusPanels[1]->toolTip(), address);

        // The next start reads it back.
        window.reset();
        create();
        QCOMPARE(window->StatusPanels[1]->text(), QStringLiteral("COM3"));
        QCOMPARE(window->Session()->PortNumber, 3);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
