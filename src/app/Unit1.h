#pragma once
// The main window: seven pages of the unit's settings above the bottom button
// row and the status bar. It owns the worker, the session and the firmware
// version job; connects, disconnects, chooses the port, shows the session's
// level and keeps the window busy while jobs run. Its methods are spread over
// files named after what they hold: Unit1.cpp (frame, connection, busy look),
// MainWindowLayout.cpp (the pages' controls), Catalogue.cpp (the grids' fixed
// texts) and PageHandlers.cpp (what the pages do).

#include "session/Server.h"
#include "ui/WindowMessageSink.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TAAMenu;
class TStringGrid;
class TVersion;

// "<executable name without folder and extension> v.1.4.4".
QString MainCaption(const QString& executablePath);

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(const QString& executablePath, QWidget* parent = nullptr);
    ~TForm1() override;

    // The pages, in this order.
    QTabWidget* PageControl1;
    QWidget* tbsNumbers;
    QWidget* tbsGreetings;
    QWidget* tbsTime;
    QWidget* tbsMenu;
    QWidget* tbsMail;
    QWidget* tbsSysParams;
    QWidget* tbsMessages;

    // Numbers.
    QPlainTextEdit* memNumbers;
    QPushButton* btnAddNum;
    QPushButton* btnAddGroup;
    QPushButton* btnDelNum;
    QPushButton* btnDelGroup;
    QLabel* lblOpCode;
    QLabel* lblOpNumDay;
    QLabel* lblOpNumNight;
    QLabel* lblFaxNum;
    QLabel* lblAdmPwd;
    QLineEdit* edtOpCode;
    QLineEdit* edtOpNumDay;
    QLineEdit* edtOpNumNight;
    QLineEdit* edtFaxNum;
    QLineEdit* edtAdmPwd;
    QPushButton* btnOpCode;
    QPushButton* btnOpNumDay;
    QPushButton* btnOpNumNight;
    QPushButton* btnFaxNum;
    QPushButton* btnAdmPwd;

    // Greetings.
    TStringGrid* sgGreetings;
    QLabel* Label13;
    QLabel* lblGreetAct;
    QPushButton* btnGreetUpload;
    QPushButton* btnGreetDownload;
    QPushButton* btnGreetDelete;

    // Weekly schedule.
    QLabel* lblTime;
    TStringGrid* sgTime;
    QCheckBox* cbHoliday;
    QPushButton* btnSetTime;

    // Voice menus.
    TStringGrid* sgMenu;
    QLabel* Label1;
    QLabel* lblMenuAct;
    QPushButton* btnMenuUpload;
    QPushButton* btnMenuDownload;
    QPushButton* btnMenuDelete;

    // Mailboxes.
    TStringGrid* sgMail;
    QLabel* Label8;
    QLineEdit* edtFreeSpace;
    QPushButton* btnMailCreate;
    QPushButton* btnMailEdit;
    QPushButton* btnMailDelete;

    // System parameters.
    TStringGrid* sgSysParams;
    QPushButton* btnSysParams;

    // Replacement of greetings and service messages.
    QLabel* Label2;
    TStringGrid* sgGreetOverride;
    QPushButton* btnGreetOverride;
    QLabel* Label11;
    TStringGrid* sgMessages;
    QPushButton* btnMessageUpload;
    QPushButton* btnMessageDownload;
    QPushButton* btnMessageDelete;

    // Bottom row and status bar (panels 0 busy/ready, 1 port, 2 level, 3 version).
    QPushButton* btnExport;
    QPushButton* btnPorts;
    QPushButton* btnConnect;
    QPushButton* btnDisconnect;
    std::array<QLabel*, 4> StatusPanels{};

    // Pages whose values were read since the last connect, in page order:
    // numbers, greetings, schedule, menus, mailboxes, system parameters,
    // message replacement.
    enum TPage { pgNumbers, pgGreetings, pgTime, pgMenu, pgMail, pgSysParams, pgMessages, PageCount };
    std::array<bool, PageCount> PageLoaded{};

    TCOMServer* Server() const { return m_server.get(); }
    TAAMenu* Session() const { return m_session.get(); }
    TVersion* VersionJob() const { return m_versionJob.get(); }
    int BusyCount() const { return m_busy.BusyCount(); }

    // The session's OnLevelChanged: status panels 1 and 2, buttons and pages.
    void ShowLevel(uint8_t level);
    void DisablePanels();
    void EnablePanels();
    void BeginBusy();
    void EndBusy();

    // A hint shown under the password edit and as the level panel's tooltip.
    void SetPasswordHint(const QString& hint);

public slots:
    void btnConnectClick();
    void btnDisconnectClick();
    void btnPortsClick();
    void btnExportClick();

    void tbsNumbersShow();
    void tbsGreetingsShow();
    void tbsTimeShow();
    void tbsMenuShow();
    void tbsMailShow();
    void tbsSysParamsShow();
    void tbsMessagesShow();

    void sgTimeDblClick();
    void sgGreetingsDblClick();
    void sgMenuDblClick();
    void sgSysParamsDblClick();
    void sgMessagesDblClick();
    void sgGreetOverrideDblClick();
    void btnMailEditClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const QString& executablePath);
    bool FormCloseQuery() const;
    void FormClose();

    // MainWindowLayout.cpp
    void CreateControls();
    QWidget* CreateNumbersPage();
    QWidget* CreateGreetingsPage();
    QWidget* CreateTimePage();
    QWidget* CreateMenuPage();
    QWidget* CreateMailPage();
    QWidget* CreateSysParamsPage();
    QWidget* CreateMessagesPage();
    QWidget* CreateBottomRow();
    void CreateStatusBar();
    void PlaceOnScreen();

    // Catalogue.cpp
    void BuildCatalogue();

    // The controls DisablePanels and EnablePanels switch, in their order: a
    // control with a handler has its double click detached and re-attached,
    // any other is disabled and enabled.
    struct TPanelControl {
        QWidget* Control;
        void (TForm1::*DblClick)();
    };
    std::vector<TPanelControl> PanelControls() const;
    void SwitchPanels(bool on);
    // Attaches or detaches the bottom buttons' click handlers.
    void SwitchBottomButtons(bool on);
    void BusyLook();
    void ReadyLook();
    // Runs the Show handler of a page.
    void ShowPage(int index);

    TBusyBracket m_busy;
    TWindowMessageSink m_sink;
    std::unique_ptr<TCOMServer> m_server;
    std::unique_ptr<TAAMenu> m_session;
    std::unique_ptr<TVersion> m_versionJob;
};
