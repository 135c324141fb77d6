#pragma once
// A child process (the demo mode's emulated unit; in the tests also lrzsz, socat
// and the program itself) started with posix_spawn, its standard input and output
// on pipes or on a raw pseudo-terminal. Not QProcess: clang 14's ThreadSanitizer
// aborts in its clone-based start. Every wait here is bounded, and the child is
// always reaped. The system's calls are in ChildProcessPosix.cpp (and
// ChildProcessWin32.cpp: CreateProcess and pipes, no terminal).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// Where a child's standard error goes.
enum class TChildErrors {
    Piped,     // kept for ReadErrors
    Inherited, // on our own standard error
    ToFile,    // written to ErrorFile
};

struct TChildOptions {
    QString Folder; // where it runs; empty: here
    TChildErrors Errors = TChildErrors::Piped;
    QString ErrorFile; // for ToFile
    bool Terminal = false; // standard input and output on a raw pseudo-terminal
    QStringList Environment; // NAME=value entries set on top of ours
};

class TChildProcess {
public:
    TChildProcess() = default;
    ~TChildProcess(); // kills and reaps a child that still runs
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts program (looked up in PATH unless it has a folder part) with args;
    // one child per object. False with ErrorText() when it could not start.
    bool Start(const QString& program, const QStringList& args, const TChildOptions& options = {});
    QString ErrorText() const { return m_error; }
    qint64 Pid() const { return m_pid; }

    // Descriptors to relay: read what it writes, write what it should read.
    int OutputFd() const { return m_out; }
    int InputFd() const { return m_in; }

    // Writes everything unless the child has closed its input.
    void Write(const QByteArray& bytes);
    void CloseInput();
    // What its output has, waiting up to timeoutMs for the first byte; empty at its end.
    QByteArray Read(int timeoutMs);
    // Its next output line without the line end; empty when none came within timeoutMs.
    QByteArray ReadLine(int timeoutMs);
    // What its standard error has (Piped), without waiting.
    QByteArray ReadErrors();

    bool Running();
    // Waits up to timeoutMs for its end; then its exit code, -1 when it still
    // runs or was ended by a signal.
    int Wait(int timeoutMs);
    int ExitCode() const;
    double CpuSeconds() const { return m_cpu; } // its user and system time, once reaped
    // Closes its input and gives it graceMs to end, then SIGTERM and graceMs,
    // then SIGKILL; reaps it. Returns its exit code as Wait does.
    int Stop(int graceMs);

private:
    bool Fail(const QString& text);
    // The platform's half: collects the child's end (waiting for it when
    // block), and true once it is collected; ends it (force: at once, else
    // asking it to); closes our ends of its input and output.
    bool Reap(bool block);
    void End(bool force);
    void CloseAll();

    qint64 m_pid = -1;
    std::intptr_t m_process = 0; // Windows: the process handle, until reaped
    int m_in = -1;
    int m_out = -1;
    int m_err = -1;
    bool m_reaped = false;
    int m_exitCode = -1; // once reaped: -1 when ended by a signal
    double m_cpu = 0;
    QByteArray m_pending; // output read past the last line given out
    QString m_error;
};
