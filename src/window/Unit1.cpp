#include "Unit1.h"

#include "session/AAMenu.h"
#include "session/Comm.h"
#include "serial/SpDeviceNames.h"
#include "session/UnitDialog.h"
#include "settings/NumberJobs.h"
#include "ui/Ports.h"
#include "ui/StringGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace {

// How long closing the window waits for the unit to be told goodbye; the
// leave sequence itself waits at most 200 ms for its echo.
constexpr int CloseDisconnectMs = 2000;

struct TLevelLook {
    const char* Text;
    bool Connect, Disconnect, Ports, Export, Panels;
};

const TLevelLook LevelLooks[] = {
    {"Отключено", true, false, true, false, false},
    {"Подключение к устройству...", true, false, false, false, false},
    {"Режим: Администратор", false, true, false, true, true},
    {"Режим: Системный", false, true, false, true, true},
};

} // namespace

QString MainCaption(const QString& executablePath)
{
    return QFileInfo(executablePath).completeBaseName() + QStringLiteral(" v.") + QStringLiteral(PARLOTEL_VERSION);
}

TForm1::TForm1(const QString& executablePath, QWidget* parent) : QMainWindow(parent)
{
    CreateControls();
    FormCreate(executablePath);
}

TForm1::~TForm1()
{
    // Destroyed without a close (a test, or the application quitting): the
    // worker must stop before the session it may be stepping goes away.
    m_server.reset();
    if (CurrentMessageSink() == &m_sink)
        SetMessageSink(nullptr);
}

void TForm1::FormCreate(const QString& executablePath)
{
    SetMessageSink(&m_sink);
    m_busy.OnBusy = [this] { BusyLook(); };
    m_busy.OnReady = [this] { ReadyLook(); };

    m_server = std::make_unique<TCOMServer>();
    m_server->OnBeforeStart = [this] { BeginBusy(); };
    m_server->OnAfterDone = [this] { EndBusy(); };

    setWindowTitle(MainCaption(executablePath));
    QCoreApplication::setApplicationName(QFileInfo(executablePath).completeBaseName());

    m_session = std::make_unique<TAAMenu>(*m_server);
    m_session->OnLevelChanged = [this](uint8_t level) { ShowLevel(level); };
    m_session->PortNumber = ReadPortNumber();

    EndBusy();
    ShowLevel(TAAMenu::lvOff);

    m_versionJob = std::make_unique<TVersion>();
    m_versionJob->Code = Unit::VersionCode;
    m_versionJob->Mode = Unit::umSys;
    m_versionJob->StatusPanel = StatusPanels[3];

    BuildCatalogue();
    BindPageHandlers();
}

void TForm1::SetPasswordHint(const QString& hint)
{
    m_sink.PasswordHint = hint;
    StatusPanels[2]->setToolTip(hint);
}

void TForm1::ShowLevel(uint8_t level)
{
    StatusPanels[1]->setText(QStringLiteral("COM") + QString::number(m_session->PortNumber));
    // The number's own text stays as it is; the device or network address
    // it opens is one look away.
    StatusPanels[1]->setToolTip(spResolveDevice(StatusPanels[1]->text()));
    if (level >= std::size(LevelLooks))
        return;
    const TLevelLook& look = LevelLooks[level];
    StatusPanels[2]->setText(QString::fromUtf8(look.Text));
    btnConnect->setEnabled(look.Connect);
    btnDisconnect->setEnabled(look.Disconnect);
    btnPorts->setEnabled(look.Ports);
    btnExport->setEnabled(look.Export);
    SwitchPanels(look.Panels);
}

std::vector<TForm1::TPanelControl> TForm1::PanelControls() const
{
    return {
        {sgTime, &TForm1::sgTimeDblClick},
        {btnSetTime, nullptr}, {cbHoliday, nullptr},
        {btnAddNum, nullptr}, {btnAddGroup, nullptr}, {btnDelNum, nullptr}, {btnDelGroup, nullptr},
        {btnOpCode, nullptr}, {btnOpNumDay, nullptr}, {btnOpNumNight, nullptr}, {btnFaxNum, nullptr},
        {btnAdmPwd, nullptr},
        {btnGreetUpload, nullptr}, {btnGreetDownload, nullptr}, {btnGreetDelete, nullptr},
        {sgGreetings, &TForm1::sgGreetingsDblClick}, {sgMenu, &TForm1::sgMenuDblClick},
        {btnMenuUpload, nullptr}, {btnMenuDownload, nullptr}, {btnMenuDelete, nullptr},
        {sgMail, nullptr},
        {btnMailCreate, nullptr}, {btnMailEdit, nullptr}, {btnMailDelete, nullptr},
        {sgSysParams, &TForm1::sgSysParamsDblClick}, {btnSysParams, nullptr},
        {btnMessageUpload, nullptr}, {btnMessageDownload, nullptr}, {btnMessageDelete, nullptr},
        {sgMessages, &TForm1::sgMessagesDblClick}, {sgGreetOverride, &TForm1::sgGreetOverrideDblClick},
    };
}

// Grids stay usable for scrolling while disconnected; only their double click
// is taken away.
void TForm1::SwitchPanels(bool on)
{
    for (const auto& [control, dblClick] : PanelControls()) {
        if (!dblClick) {
            control->setEnabled(on);
            continue;
        }
        auto* grid = static_cast<TStringGrid*>(control);
        if (on)
            connect(grid, &TStringGrid::CellDoubleClicked, this, dblClick, Qt::UniqueConnection);
        else
            disconnect(grid, &TStringGrid::CellDoubleClicked, this, dblClick);
    }
}

void TForm1::DisablePanels()
{
    SwitchPanels(false);
}

void TForm1::EnablePanels()
{
    SwitchPanels(true);
}

// While busy the buttons keep their look but ignore clicks.
void TForm1::SwitchBottomButtons(bool on)
{
    const std::pair<QPushButton*, void (TForm1::*)()> handlers[] = {
        {btnConnect, &TForm1::btnConnectClick},
        {btnDisconnect, &TForm1::btnDisconnectClick},
        {btnPorts, &TForm1::btnPortsClick},
        {btnExport, &TForm1::btnExportClick},
    };
    for (const auto& [button, handler] : handlers) {
        if (on)
            connect(button, &QPushButton::clicked, this, handler, Qt::UniqueConnection);
        else
            disconnect(button, &QPushButton::clicked, this, handler);
    }
}

void TForm1::BeginBusy()
{
    m_busy.BeginBusy();
}

void TForm1::EndBusy()
{
    m_busy.EndBusy();
}

void TForm1::BusyLook()
{
    PageControl1->setEnabled(false);
    SwitchBottomButtons(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StatusPanels[0]->setText(QStringLiteral("Передача данных"));
}

void TForm1::ReadyLook()
{
    StatusPanels[0]->setText(QStringLiteral("Готово"));
    // The first EndBusy, at start, has no hour-glass to take away.
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    SwitchBottomButtons(true);
    PageControl1->setEnabled(true);
}

void TForm1::ShowPage(int index)
{
    static constexpr void (TForm1::*shows[PageCount])() = {
        &TForm1::tbsNumbersShow, &TForm1::tbsGreetingsShow, &TForm1::tbsTimeShow, &TForm1::tbsMenuShow,
        &TForm1::tbsMailShow, &TForm1::tbsSysParamsShow, &TForm1::tbsMessagesShow,
    };
    if (index >= 0 && index < PageCount)
        (this->*shows[index])();
}

bool TForm1::Connect()
{
    BeginBusy();
    m_session->Password.clear(); // every fresh connection asks for it
    m_versionJob->State = TJoint1::Read;
    m_session->Submit(m_versionJob.get());
    m_server->WaitIdle();
    EndBusy();
    return m_session->Level != TAAMenu::lvOff;
}

void TForm1::btnConnectClick()
{
    if (!Connect())
        return;
    // Read the current page again with the new login level.
    PageLoaded.fill(false);
    ShowPage(std::max(0, PageControl1->currentIndex()));
}

void TForm1::btnDisconnectClick()
{
    BeginBusy();
    m_session->Disconnect();
    EndBusy();
}

void TForm1::btnPortsClick()
{
    TFormPorts dialog(this);
    dialog.SetPortNumber(m_session->PortNumber);
    if (dialog.exec() == QDialog::Accepted) {
        const TPortChoice choice = dialog.Choice();
        m_session->PortNumber = choice.PortNumber;
        StorePortChoice(choice);
    }
    ShowLevel(m_session->Level);
}

bool TForm1::FormCloseQuery() const
{
    return m_busy.BusyCount() <= 0;
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_server && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    if (m_server)
        FormClose();
    event->accept();
}

void TForm1::FormClose()
{
    if (m_session->Level != TAAMenu::lvOff) {
        m_session->Disconnect();
        m_server->WaitIdle(CloseDisconnectMs);
    }
    m_server.reset(); // stops the worker after its current step
    if (FormComm())
        FormComm()->SpComm1.Close();
    m_session.reset();
}
