#pragma once
// The main window: seven pages of the unit's settings above the bottom button
// row and the status bar. It owns the worker, the session and the firmware
// version job; connects, disconnects, chooses the port, shows the session's
// level and keeps the window busy while jobs run. Its methods are spread over
// files named after what they hold: Unit1.cpp (frame, connection, busy look),
// MainWindowLayout.cpp (the pages' controls), Catalogue.cpp (the jobs behind
// every setting and the grids' fixed texts), PageHandlers.cpp (what the pages
// do, the voice files' among it) and Export.cpp (all settings into one text
// file).

#include "session/Joint1.h"
#include "support/ReadProgress.h"
#include "ui/WindowMessageSink.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TAAMenu;
class TCheck;
class TFile;
class TListDlg;
class TMailDlg;
class TStringGrid;
class TVFCode;
class TVFDirectory;
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

    // Jobs of the catalogue held by name; the grids' jobs hang on their cells.
    TListDlg* ListJob = nullptr;
    TVFCode* OpCodeJob = nullptr;
    TVFDirectory* OpNumDayJob = nullptr;
    TVFDirectory* OpNumNightJob = nullptr;
    TVFDirectory* FaxNumJob = nullptr;
    TVFDirectory* AdmPwdJob = nullptr;
    TMailDlg* MailJob = nullptr;
    TCheck* HolidayJob = nullptr;

    // The transfer of a voice file once the user has chosen the computer's
    // file: the file to send, or where the received file belongs. Both run the
    // voice-file transfer flow (support/VoiceTransfer.h); unset, the flows end
    // after their file dialog.
    std::function<void(TFile* job, const QString& file)> UploadTransfer;
    std::function<void(TFile* job, const QString& file)> DownloadTransfer;
    // Main thread: the open dialog, then UploadTransfer.
    void UploadFlow(TFile* job);
    // Main thread: nothing when the unit has no file under the job's code;
    // else the save dialog with the unit's file name preset, then DownloadTransfer.
    void DownloadFlow(TFile* job);
    // Catalogue.cpp. The job of a recording on the greetings, menus or
    // messages page by the unit's code: menus 0 to 19 and greetings 20 to 22
    // (message false), service messages 60 to 73 (message true); null for
    // any other code.
    TFile* VoiceFileJob(bool message, int code) const;
    // False, after the refusal message, below the system level.
    bool SystemOnly() const;

    // Export.cpp. Brings every page up to date, in the export's order, and
    // returns once all reads have ended; the system pages only in system mode.
    // A failed read is not an error here: the job has shown it, and the page
    // shows what it holds. progress, when set, is told each page before it is
    // read, and may stop the series there (false is returned then).
    bool RefreshAllPages(const TReadProgress& progress = {});
    // The export file from what the jobs hold now: Windows-1251, CR LF.
    QByteArray SettingsText();
    // Refreshes every page and writes the export to path (see OutputFile.h;
    // created for its owner only: it holds the passwords). False with error
    // set when a read came up with a message (the earlier file stays) or the
    // file could not be written (with the system's words); false with error
    // empty when progress stopped it.
    bool ExportSettings(const QString& path, QString& error, const TReadProgress& progress = {});

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

    // The connect without the page: logs in (asking for the password) and
    // reads the unit's version. True when logged in.
    bool Connect();

public slots:
    void btnConnectClick();
    void btnDisconnectClick();
    void btnPortsClick();
    void btnExportClick();

    void btnAddNumClick();
    void btnAddGroupClick();
    void btnDelNumClick();
    void btnDelGroupClick();
    void btnOpCodeClick();
    void btnOpNumDayClick();
    void btnOpNumNightClick();
    void btnFaxNumClick();
    void btnAdmPwdClick();
    void btnGreetUploadClick();
    void btnGreetDownloadClick();
    void btnGreetDeleteClick();
    void cbHolidayClick();
    void btnSetTimeClick();
    void btnMenuUploadClick();
    void btnMenuDownloadClick();
    void btnMenuDeleteClick();
    void btnMailCreateClick();
    void btnMailDeleteClick();
    void btnMessageDownloadClick();
    void btnMessageDeleteClick();

    void tbsNumbersShow();
    void tbsGreetingsShow();
    void tbsTimeShow();
    void tbsMenuShow();
    void tbsMailShow();
    void tbsSysParamsShow();
    void tbsMessagesShow();
    void ForgetSystemValues();

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
    void BindNumbersPage();
    void BindGreetings();
    void BindMenus();
    void BindKeyGrid(TStringGrid* const* gridRef, Unit::TCodeRange codes);
    void BindMailPage();
    void BindSysParams();
    void BindSchedule();
    void BindGreetOverride();
    void BindMessages();
    // The window owns every job of the catalogue for its whole life.
    TJoint1* Adopt(std::unique_ptr<TJoint1> job);
    template <class T>
    T* Own()
    {
        return static_cast<T*>(Adopt(std::make_unique<T>()));
    }

    // PageHandlers.cpp
    void BindPageHandlers();
    // The transfer flow behind UploadTransfer and DownloadTransfer, the window
    // busy behind it while the line carries the file.
    void RunTransfer(TFile* job, const QString& file, bool upload);
    // Sets the job's start state and submits it; no job, nothing.
    void Run(TJoint1* job, int state);
    // Reads each job in turn (Read) inside one busy bracket; stops when the
    // connection is gone, so that a lost unit is not logged in again per job.
    // True when every job ran without a message and the session stayed.
    bool RunSeries(const std::vector<TJoint1*>& jobs);
    bool SystemLevel() const;
    // Greetings and menus: the job of the current row (column 0).
    TFile* KeyGridJob(const TStringGrid* grid) const;
    void KeyGridDblClick(TStringGrid* grid);
    TFile* MessageJob() const;

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
    std::vector<std::unique_ptr<TJoint1>> m_jobs; // the catalogue
};
