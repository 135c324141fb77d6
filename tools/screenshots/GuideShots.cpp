#include "GuideShots.h"

#include "GuiTestSupport.h"
#include "TestFiles.h"
#include "WindowRig.h"
#include "serial/SpDeviceNames.h"
#include "session/AAMenu.h"
#include "session/MessageSink.h"
#include "session/Password.h"
#include "settings/ListDlg.h"
#include "ui/Choice.h"
#include "ui/Clock.h"
#include "ui/Code.h"
#include "ui/Directory.h"
#include "ui/List2.h"
#include "ui/MailAdd.h"
#include "ui/MenuItm.h"
#include "ui/Number.h"
#include "ui/Ports.h"
#include "ui/StringGrid.h"
#include "ui/Time.h"
#include "ui/WindowMessageSink.h"
#include "ui/YModemU.h"
#include "window/Unit1.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>

#include <cstdio>

using namespace TestSupport;

namespace {

// The factory passwords of the emulated unit.
const QString SystemPassword = QStringLiteral("1234");
const QString AdminPassword = QStringLiteral("1111");

// What the port dialog shows: a USB adapter assigned to COM1 and the built-in
// ports of a typical PC, the same on every machine the pictures are taken on.
const char* const PortDevices[] = {"/dev/ttyUSB0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};

constexpr int ClockReadMs = 10000;

// The recording the transfer window sends: three seconds of sound to the
// holiday greeting, which has none.
constexpr int BytesPerSecond = 8000;
constexpr int TransferSeconds = 3;
constexpr int HolidayRow = 3;

} // namespace

TGuideShots::TGuideShots(QString folder) : m_folder(std::move(folder)) {}

bool TGuideShots::Run()
{
    if (!QDir().mkpath(m_folder))
        return Fail(QStringLiteral("cannot create %1").arg(m_folder));
    if (!Session(&TGuideShots::SystemSession))
        return false;
    // A window of its own: one that was logged in as the system user before
    // still shows the system pages' values.
    if (!Session(&TGuideShots::Messages))
        return false;
    // The unit at the line's pace, so the transfer window stays up a while.
    return Session(&TGuideShots::Transfer, {QStringLiteral("--baud"), QStringLiteral("19200")});
}

bool TGuideShots::Session(bool (TGuideShots::*shots)(TWindowRig&), const QStringList& unitArgs)
{
    TWindowRig rig(unitArgs);
    if (!rig.Started())
        return Fail(QStringLiteral("the emulated unit did not start (PARLOTEL_UNIT=%1)")
                        .arg(qEnvironmentVariable("PARLOTEL_UNIT")));
    if (!QTest::qWaitForWindowExposed(rig.Window.get()))
        return Fail(QStringLiteral("the main window was not shown"));
    return (this->*shots)(rig);
}

bool TGuideShots::SystemSession(TWindowRig& rig)
{
    QWidget* window = rig.Window.get();
    if (!Save(window, QStringLiteral("window-disconnected")) || !PortDialog(window))
        return false;
    if (!rig.Connect(SystemPassword))
        return Fail(QStringLiteral("no login: ") + rig.Sink.Log().join(QStringLiteral("; ")));
    if (!Pages(rig) || !Dialogs(rig))
        return false;
    if (!rig.Sink.Errors().isEmpty())
        return Fail(QStringLiteral("the unit reported errors: ") + rig.Sink.Errors().join(QStringLiteral("; ")));
    return true;
}

bool TGuideShots::Pages(TWindowRig& rig)
{
    TForm1& w = *rig.Window;
    const std::pair<QWidget*, const char*> pages[] = {
        {w.tbsNumbers, "window-numbers"}, {w.tbsGreetings, "window-greetings"}, {w.tbsTime, "window-time"},
        {w.tbsMenu, "window-menu"},       {w.tbsMail, "window-mail"},           {w.tbsSysParams, "window-sysparams"},
        {w.tbsMessages, "window-messages"},
    };
    for (const auto& [page, name] : pages) {
        if (!rig.ShowPage(page))
            return Fail(QStringLiteral("page %1 did not load").arg(QLatin1String(name)));
        if (!Save(&w, QLatin1String(name)))
            return false;
    }
    return true;
}

bool TGuideShots::Dialogs(TWindowRig& rig)
{
    TForm1& w = *rig.Window;
    const auto click = [](QPushButton* button) { return [button] { button->click(); }; };
    const auto dblClick = [](TStringGrid* grid, int col, int row) {
        return [grid, col, row] { TWindowRig::DoubleClick(grid, col, row); };
    };
    // Each dialog is cancelled, often right after the session moved the unit
    // to its menu; the next one's move must still go through without a box.
    rig.ShowPage(w.tbsNumbers);
    bool ok = Modal<TFormDirectory>(rig, QStringLiteral("dialog-directory"), click(w.btnOpNumDay))
        && Modal<TFormCode>(rig, QStringLiteral("dialog-code"), click(w.btnOpCode));
    rig.ShowPage(w.tbsTime);
    ok = ok && Modal<TFormTime>(rig, QStringLiteral("dialog-time"), dblClick(w.sgTime, 1, 1))
        && Modal<TFormClock>(rig, QStringLiteral("window-clock"), click(w.btnSetTime), [this](TFormClock* d) {
               // The clock shows the unit's time once its first read is in.
               if (!QTest::qWaitFor([d] { return d->DateTimePicker1->time() != QTime(0, 0); }, ClockReadMs))
                   Fail(QStringLiteral("the clock window showed no time"));
           });
    rig.ShowPage(w.tbsSysParams);
    ok = ok && Modal<TFormChoice>(rig, QStringLiteral("dialog-choice"), dblClick(w.sgSysParams, 2, 2))
        && Modal<TFormNumber>(rig, QStringLiteral("dialog-number"), dblClick(w.sgSysParams, 2, 8));
    rig.ShowPage(w.tbsMenu);
    ok = ok && Modal<TFormMenuItm>(rig, QStringLiteral("dialog-menuitem"), dblClick(w.sgMenu, 2 + 1, 1));
    ok = ok && rig.ShowPage(w.tbsMail) // reads the mailboxes every time
        && Modal<TFormMailAdd>(rig, QStringLiteral("dialog-mailadd"), click(w.btnMailCreate), [](TFormMailAdd* d) {
               d->edtOwner->setText(QStringLiteral("103"));
           });
    rig.ShowPage(w.tbsNumbers);
    ok = ok && Modal<TFormList2>(rig, QStringLiteral("dialog-list"), click(w.btnAddGroup), [](TFormList2* d) {
               d->Edit1->setText(QStringLiteral("300"));
               d->Edit2->setText(QStringLiteral("309"));
           });
    return ok && m_ok;
}

bool TGuideShots::Transfer(TWindowRig& rig)
{
    TForm1& w = *rig.Window;
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("holiday.pcm"));
    if (!WriteTestFile(file, SoundBytes(TransferSeconds * BytesPerSecond, 1)))
        return Fail(QStringLiteral("cannot write %1").arg(file));
    if (!rig.Connect(SystemPassword) || !rig.ShowPage(w.tbsGreetings))
        return Fail(QStringLiteral("the greetings did not load"));
    w.sgGreetings->SetCurrent(0, HolidayRow);
    bool shot = false;
    bool saved = false;
    AnswerNextModal<TFormYMU>([this, &shot, &saved](TFormYMU* window) {
        // The first block's figures are all in once its byte count is; the
        // shot is taken there, before the next block's can replace them, so
        // only the layout is brought up to date first.
        QObject::connect(window->Edit2, &QLineEdit::textChanged, window, [this, window, &shot, &saved] {
            if (std::exchange(shot, true))
                return;
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            saved = Write(window, QStringLiteral("dialog-transfer"));
        });
    });
    TWindowRig::ChooseFile(file);
    w.btnGreetUpload->click(); // returns once the transfer window has closed
    if (!WaitModalsAnswered() || !rig.Settle() || !saved)
        return Fail(QStringLiteral("the transfer window was not shot"));
    if (!rig.Sink.Errors().isEmpty() || w.sgGreetings->Cells(1, HolidayRow) != QFileInfo(file).fileName())
        return Fail(QStringLiteral("the upload did not end well: ") + rig.Sink.Errors().join(QStringLiteral("; ")));
    return m_ok;
}

bool TGuideShots::Messages(TWindowRig& rig)
{
    TForm1& w = *rig.Window;
    TWindowMessageSink boxes;
    SetMessageSink(&boxes);
    const auto typePassword = [this](const QString& password, const char* shot) {
        AnswerNextModal<TFormPassword>([this, password, shot](TFormPassword* d) {
            QTest::keyClicks(d->Edit1, password);
            if (shot)
                Save(d, QLatin1String(shot));
            d->btnOK->click();
        });
    };
    const auto shootBox = [this](const char* shot) {
        AnswerNextModal<QMessageBox>([this, shot](QMessageBox* box) {
            Save(box, QLatin1String(shot));
            box->accept();
        });
    };
    // A busy unit: the password, the warning, and the prompt again, cancelled.
    rig.Unit->Control("fault busy on");
    typePassword(SystemPassword, "dialog-password");
    shootBox("message-busy");
    AnswerNextModal<TFormPassword>([](TFormPassword* d) { d->reject(); });
    w.btnConnect->click();
    bool ok = WaitModalsAnswered() && rig.Settle();
    rig.Unit->Control("fault none");
    // The administrator: the system parameters stay empty and are refused.
    typePassword(AdminPassword, nullptr);
    w.btnConnect->click();
    ok = ok && WaitModalsAnswered() && rig.Settle() && rig.ShowPage(w.tbsSysParams)
        && Save(&w, QStringLiteral("window-sysparams-admin"));
    shootBox("message-refusal");
    TWindowRig::DoubleClick(w.sgSysParams, 2, 2);
    ok = ok && WaitModalsAnswered() && rig.Settle();
    SetMessageSink(&rig.Sink);
    if (!ok || w.Session()->Level != TAAMenu::lvAdmin)
        return Fail(QStringLiteral("the message boxes did not come as expected"));
    return m_ok;
}

bool TGuideShots::PortDialog(QWidget* window)
{
    QSettings settings(QStringLiteral("pt71qm"));
    for (int port = 1; port <= ComPortCount; ++port)
        settings.setValue(QStringLiteral("Devices/COM%1").arg(port), QLatin1String(PortDevices[port - 1]));
    settings.sync();
    const QString unitDevice = spResolveDevice(QStringLiteral("COM1"));
    spOverrideDevice(1, QString()); // show the stored assignment, not this run's unit
    const QTemporaryDir noDevices;  // no other serial device is listed
    bool ok = false;
    {
        TFormPorts dialog(window, noDevices.path());
        dialog.SetPortNumber(1);
        dialog.show();
        ok = QTest::qWaitForWindowExposed(&dialog) && Save(&dialog, QStringLiteral("dialog-ports"));
        dialog.reject();
    }
    spOverrideDevice(1, unitDevice);
    return ok;
}

template <class T>
bool TGuideShots::Modal(TWindowRig& rig, const QString& name, const std::function<void()>& open,
                        const std::function<void(T*)>& prepare)
{
    bool saved = false;
    AnswerNextModal<T>([this, name, prepare, &saved](T* d) {
        if (prepare)
            prepare(d);
        saved = Save(d, name);
        d->reject();
    });
    open();
    if (!WaitModalsAnswered() || !rig.Settle())
        return Fail(QStringLiteral("%1 did not open or its jobs did not end").arg(name));
    if (const QStringList errors = rig.Sink.Errors(); !errors.isEmpty())
        return Fail(QStringLiteral("around %1 the unit reported: %2").arg(name, errors.join(QStringLiteral("; "))));
    return saved;
}

bool TGuideShots::Save(QWidget* widget, const QString& name)
{
    QCoreApplication::processEvents(); // pending layout and repaints first
    return Write(widget, name);
}

bool TGuideShots::Write(QWidget* widget, const QString& name)
{
    const QString path = QDir(m_folder).filePath(name + QStringLiteral(".png"));
    // Highest compression: the pictures live in the repository.
    if (!widget->grab().toImage().convertToFormat(QImage::Format_RGB888).save(path, "PNG", 0))
        return Fail(QStringLiteral("cannot write %1").arg(path));
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool TGuideShots::Fail(const QString& what)
{
    std::fprintf(stderr, "parlotel-screenshots: %s\n", qPrintable(what));
    m_ok = false;
    return false;
}
