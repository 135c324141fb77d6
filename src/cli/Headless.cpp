#include "Headless.h"

#include "CliCommands.h"
#include "HeadlessTransfer.h"
#include "Interruption.h"
#include "ProgressLine.h"
#include "serial/SpDeviceNames.h"
#include "serial/SpNetAddress.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "session/MessageSink.h"
#include "support/Console.h"
#include "support/DemoUnit.h"
#include "support/LineTrace.h"
#include "support/OutputFile.h"
#include "ui/YModemU.h"
#include "window/Unit1.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <atomic>

namespace {

// The disconnect's own waits on the line are short; this only bounds a unit
// that stopped answering.
constexpr int DisconnectMs = 5000;

// A box's text may run over several lines (CR or LF) and end with the unit's
// own CR: every line gets the prefix, blank ones are dropped.
void Print(const QString& text)
{
    EndProgressLine();
    static const QRegularExpression lineEnds(QStringLiteral("[\r\n]"));
    for (const QString& line : text.split(lineEnds)) {
        const QString shown = line.trimmed();
        if (!shown.isEmpty())
            WriteText(TConsoleStream::Error, QStringLiteral("parlotel: ") + shown + u'\n');
    }
}

// Prints every box instead of showing it and counts them: any of them means
// the run did not go as asked. After an interruption too: a transfer's reports
// then say what the unit holds and whether the file was saved. Confirmations
// are declined. The password is given once: a second request follows a
// refused password, and asking again with the same one would loop.
class THeadlessSink : public TMessageSink {
public:
    explicit THeadlessSink(QString password) : m_password(std::move(password)) {}

    void ShowMessage(TMsgKind, const QString& text) override { Note(text); }
    bool Confirm(const QString& text, TConfirmButtons) override
    {
        Note(text + QStringLiteral(" — нет"));
        return false;
    }
    TPasswordAnswer AskPassword(QString& password) override
    {
        if (m_passwordGiven || m_password.isEmpty()) {
            if (!m_passwordGiven)
                Note(QStringLiteral("пароль не задан"));
            return TPasswordAnswer::Cancelled;
        }
        m_passwordGiven = true;
        password = m_password;
        return TPasswordAnswer::Entered;
    }

    int Count() const { return m_count; }

private:
    void Note(const QString& text)
    {
        Print(text);
        ++m_count;
    }

    QString m_password;
    bool m_passwordGiven = false;
    std::atomic<int> m_count{0};
};

bool ExportCommand(TForm1& window, const QStringList& arguments, QString& error)
{
    const bool done = window.ExportSettings(arguments.constFirst(), error, ShowReadProgress);
    EndProgressLine();
    return done;
}

bool CheckExportArguments(TForm1&, const QStringList& arguments, QString& error)
{
    return CheckOutputFile(arguments.constFirst(), error);
}

// A network address the port would open (--device, or the one assigned to
// the number) that cannot be: refused before anything is sent.
bool CheckNetworkAddress(const TConnectionOptions& c, TForm1& window, QString& error)
{
    if (c.Demo)
        return true;
    const int port = c.Port ? c.Port : window.Session()->PortNumber;
    const QString device = c.Device.isEmpty() ? spResolveDevice(QStringLiteral("COM%1").arg(port)) : c.Device;
    return !spIsNetworkName(device) || spParseNetAddress(device, error);
}

// Points the session's port at the device or the emulated unit asked for.
bool PreparePort(const TConnectionOptions& c, TForm1& window, TDemoUnit& unit, const QString& demoFolder)
{
    TAAMenu& session = *window.Session();
    if (c.Port)
        session.PortNumber = c.Port;
    if (c.Demo) {
        if (!unit.Start(TDemoUnit::FindExecutable(QCoreApplication::applicationDirPath()), demoFolder, c.DemoReset,
                        TDemoUnit::Unpaced)) {
            Print(QStringLiteral("Не удалось запустить эмулятор устройства: ") + unit.ErrorText());
            return false;
        }
        spOverrideDevice(session.PortNumber, unit.Device());
    } else if (!c.Device.isEmpty()) {
        spOverrideDevice(session.PortNumber, c.Device);
        session.PortLabel = c.Device;
    }
    return true;
}

bool Connected(TForm1& window)
{
    return window.Session()->Level == TAAMenu::lvAdmin || window.Session()->Level == TAAMenu::lvSystem;
}

// The first signal cancels a running transfer; the commands' job sequences
// see it before their next job. A second one ends the program on the spot.
void StopOnSignals(TInterruption& interruption, TLineTrace& trace)
{
    interruption.OnFirst = [] {
        if (TFormYMU* transfer = TFormYMU::Current())
            transfer->Cancel();
    };
    interruption.OnSecond = [&trace] {
        trace.FlushIfFree();
        ::_exit(ecCommand);
    };
}

int RunConnected(const THeadlessRequest& request, TForm1& window, const THeadlessSink& sink)
{
    // Only the login and the version: each command reads what it needs itself.
    window.Connect();
    // Every failed login ends disconnected; a message after a good login
    // (the first page's reads) fails the command below.
    if (!Connected(window))
        return ecConnect;
    if (TInterruption::Requested())
        return ecCommand;
    QString error;
    const TCommandOutcome outcome = request.Command->Run(window, request.Arguments, error);
    window.Server()->WaitIdle();
    if (outcome.Kind == TCommandOutcome::Failed && !error.isEmpty() && !TInterruption::Requested())
        Print(error);
    if (outcome.Kind == TCommandOutcome::SavedDespiteError)
        return ecSavedWithError;
    return outcome.Kind == TCommandOutcome::Done && sink.Count() == 0 ? ecOk : ecCommand;
}

} // namespace

const std::vector<THeadlessCommand>& HeadlessCommands()
{
    static const std::vector<THeadlessCommand> commands = [] {
        std::vector<THeadlessCommand> all{
            {QStringLiteral("export"), QStringLiteral("FILE"),
             QStringLiteral("Command: export all settings of the unit to FILE (text, Windows-1251, readable by its "
                            "owner only); not written when a read fails."),
             ExportCommand, {}, CheckExportArguments},
            {QStringLiteral("upload"), QStringLiteral("TARGET"),
             QStringLiteral("Command: send the voice file FILE, given after TARGET, to the unit as the recording "
                            "TARGET: menu:N (menus 0 to 19, greetings 20 to 22) or message:N (service messages "
                            "60 to 73, system password)."),
             UploadCommand, QStringLiteral("FILE"), CheckUploadArguments},
            {QStringLiteral("download"), QStringLiteral("TARGET"),
             QStringLiteral("Command: receive the recording TARGET (as for --upload) from the unit into FILE, "
                            "given after TARGET; an existing FILE is replaced only by a file that arrived whole, "
                            "and such a file is kept even when an error or Ctrl-C follows it."),
             DownloadCommand, QStringLiteral("FILE"), CheckDownloadArguments},
        };
        for (THeadlessCommand& command : CliCommands())
            all.push_back(std::move(command));
        return all;
    }();
    return commands;
}

QString ReadPasswordLine()
{
    return ReadLineUnechoed(QStringLiteral("Пароль: ")).trimmed();
}

int RunHeadless(const THeadlessRequest& request, const QString& demoFolder)
{
    const TConnectionOptions& c = request.Connection;
    TForm1 window(QCoreApplication::applicationFilePath());
    TFormComm comm;
    // What cannot be used is refused before the password is asked for.
    QString error;
    if (request.Command->Check && !request.Command->Check(window, request.Arguments, error)) {
        Print(error);
        return ecUsage;
    }
    if (!CheckNetworkAddress(c, window, error)) {
        Print(error);
        return ecUsage;
    }
    TLineTrace trace;
    if (!c.TracePath.isEmpty() && !CheckOutputFile(c.TracePath, error)) {
        Print(error);
        return ecUsage;
    }
    if (!c.TracePath.isEmpty() && !trace.Open(c.TracePath, error)) {
        Print(QStringLiteral("cannot write %1: %2").arg(c.TracePath, error));
        return ecUsage;
    }
    if (!c.TracePath.isEmpty())
        comm.SetLineTap(&trace);
    THeadlessSink sink(c.Password ? *c.Password : ReadPasswordLine());
    SetMessageSink(&sink); // in place of the window's boxes
    // Caught once the password is in: a signal while it is typed ends the
    // program at once, with nothing yet sent.
    TInterruption interruption;
    StopOnSignals(interruption, trace);
    TDemoUnit unit;
    int code = ecConnect;
    if (PreparePort(c, window, unit, demoFolder))
        code = RunConnected(request, window, sink);
    if (window.Session()->Level != TAAMenu::lvOff) {
        window.Session()->Disconnect();
        window.Server()->WaitIdle(DisconnectMs);
    }
    SetMessageSink(nullptr);
    comm.SetLineTap(nullptr);
    // A trace asked for and lost fails the run, as any message does.
    if (!trace.Close(error)) {
        Print(error);
        if (code == ecOk)
            code = ecCommand;
    }
    if (TInterruption::Requested()) {
        Print(QStringLiteral("прервано"));
        code = ecCommand;
    }
    return code;
}
