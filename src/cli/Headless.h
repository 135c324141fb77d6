#pragma once
// The headless mode: the program's jobs run from the command line, with no
// person and no display. The main window is built offscreen, connects, runs one
// command, disconnects and ends. Every message box that would be shown is
// printed to standard error instead and makes the run fail. SIGINT, SIGTERM
// and SIGHUP stop the command at its next safe point and fail the run (see
// Interruption.h). A command is one
// entry of HeadlessCommands(): its option, its argument and what it does with
// the connected window; adding a command there adds it to the command line and
// to --help.

#include "support/ExitCodes.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class TForm1;

// What a command's run came to. Commands that either succeed or fail return a
// bool, which converts.
struct TCommandOutcome {
    enum TKind { Failed, Done, SavedDespiteError };
    TCommandOutcome(bool done) : Kind(done ? Done : Failed) {}
    TCommandOutcome(TKind kind) : Kind(kind) {}
    TKind Kind;
};

struct THeadlessCommand {
    QString Name;      // the option without its dashes: "export"
    QString ValueName; // what its argument is: "FILE"
    QString Description;
    // Main thread, with the window connected; arguments: the option's value,
    // then the operand if the command has one. Failed with error (one line of
    // plain words, or empty when a message has said why) when the command failed.
    std::function<TCommandOutcome(TForm1& window, const QStringList& arguments, QString& error)> Run;
    // A second argument after the option's value, as FILE in
    // "--upload TARGET FILE"; empty: none.
    QString OperandName;
    // Optional. Main thread, with the window built but nothing sent yet: false
    // with error when the arguments cannot be used (exit code ecUsage).
    std::function<bool(TForm1& window, const QStringList& arguments, QString& error)> Check;
};

const std::vector<THeadlessCommand>& HeadlessCommands();

// Where the unit is and how to log in, for this run only (nothing is stored).
struct TConnectionOptions {
    std::optional<QString> Password; // none: one line from standard input
    int Port = 0;                    // 0: the stored port
    QString Device;                  // opened as the port for this run
    bool Demo = false;               // the emulated unit
    bool DemoReset = false;          // in its factory state
    QString TracePath;               // the line trace goes there; empty: none
};

struct THeadlessRequest {
    const THeadlessCommand* Command = nullptr;
    QStringList Arguments;
    TConnectionOptions Connection;
};

// The password when none was given: one line of standard input, without its
// line end; on a terminal it asks on standard error and does not echo.
QString ReadPasswordLine();

// Runs one command; the application object must exist. demoFolder holds the
// emulated unit's state, as in the window's demo mode. Returns the exit code.
int RunHeadless(const THeadlessRequest& request, const QString& demoFolder);
