#pragma once
// Test fixtures for the emulated unit: the unit process itself (started from
// PARLOTEL_UNIT, steered through its standard input) and the program's end of
// its pseudo-terminal, read the way the program reads it: line feeds dropped,
// a wait satisfied by the first occurrence of its text, the text cut after it.

#include "support/ChildProcess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace TestSupport {

class TUnitProcess {
public:
    // Starts `parlotel-unit --pty` with args (without --pty when pty is false);
    // Pty() is what the program opens, the first line the unit printed (the
    // pseudo-terminal, or the address with --tcp in args); empty when that
    // failed or when it prints none.
    explicit TUnitProcess(const QStringList& args, bool pty = true);
    ~TUnitProcess();
    TUnitProcess(const TUnitProcess&) = delete;
    TUnitProcess& operator=(const TUnitProcess&) = delete;

    QString Pty() const { return m_pty; }
    qint64 Pid() const { return m_process.Pid(); }
    // Sends a control line and returns the unit's answer to it.
    QByteArray Control(const QByteArray& line);
    // Closes its standard input and waits for it to end; returns its exit code (-1: it did not end).
    int Stop();
    // Waits for it to end by itself; returns its exit code (-1: it did not end).
    int WaitForExit(int timeoutMs);
    QByteArray StandardError();

private:
    TChildProcess m_process;
    QByteArray m_errors;
    QString m_pty;
};

class TLine {
public:
    explicit TLine(const QString& path);
    ~TLine();
    TLine(const TLine&) = delete;
    TLine& operator=(const TLine&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    void Close();
    void Write(const QByteArray& bytes);
    // Everything received so far, line feeds included.
    const QByteArray& Raw() const { return m_raw; }

    // The program's three waits.
    bool SendAndWaitEcho(const QByteArray& text, int timeoutMs = 5000);
    bool WaitForText(const QByteArray& text, int timeoutMs = 5000);
    std::optional<QByteArray> ReadThrough(const QByteArray& terminator, int timeoutMs = 5000);
    // True when nothing at all arrives within ms (for faults that silence the unit).
    bool StaysQuiet(int ms);

    // The program's wake-up: nine cancels, sixteen carriage returns, the access
    // word, then carriage returns until "Password:".
    bool Wake();
    // Sends the password; returns the answer line without its carriage return.
    QByteArray Login(const QByteArray& password);
    // Wake, log in, then "PC" and the menu's word; true when its prompt came exactly.
    bool LoginTo(const QByteArray& password, const QByteArray& menuWord);
    // The prompt the last command left, read as the program's navigation does.
    QByteArray Prompt();

    // A command with one "N" answer; returns the first reply line (CR dropped).
    QByteArray Command(const QByteArray& command, const QByteArray& answer);
    // SET of a system parameter as the program writes it: the reply to the
    // value, or "(code refused) " and the line that came instead of the "=" prompt.
    QByteArray SetParam(int code, const QByteArray& value);
    QByteArray GetParam(int code) { return Command("GET", QByteArray::number(code)); }

    // Plays a YModem transfer: relays between the line and peer (lrzsz run by
    // the test) until peer ends; what arrives stays readable, as the program's
    // buffer keeps it. Returns peer's exit code, -1 when it did not end in time.
    int Relay(TChildProcess& peer, int timeoutMs);

    // Waits up to timeoutMs for bytes and keeps them; false when none came.
    bool Fill(int timeoutMs);
    int Reads() const { return m_reads; }

private:
    bool WaitFor(const QByteArray& text, int timeoutMs);
    void CutAfter(qsizetype end);

    int m_fd = -1;
    QByteArray m_text; // received, line feeds dropped, not yet consumed
    QByteArray m_raw;
    int m_reads = 0;
};

// True when a process with this id exists (zombies excluded).
bool ProcessAlive(qint64 pid);
// Ids of the processes whose parent is pid.
QList<qint64> ChildProcesses(qint64 pid);

} // namespace TestSupport
