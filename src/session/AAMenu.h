#pragma once
// The session with the unit: opens the port, wakes the unit, logs in, moves the
// unit into the menu a job needs and hands the line over to that job; closes
// the connection on request or after a failure. It is itself a job stepped by
// the worker: the steps that talk to the unit run there, the ones that show
// boxes, ask for the password or tell the window about the level run in the
// main thread.

#include "session/Joint1.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace Unit {
struct TUnitMenu;
}

class TAAMenu : public TJoint {
public:
    // Session states; 200 and above show an error and end the connection.
    enum TStep : int {
        stIdle = 0,
        stBegin = 100,
        stPassword = 101,
        stSendPassword = 102,
        stWrongPassword = 103,
        stUnitBusy = 104,
        stNavigate = 105,
        stOpen = 120,
        stWake = 121,
        stReport = 122,
        stClose = 130,
        stConnecting = 180,
        stAdmin = 181,
        stSystem = 182,
        stClosed = 183,
        stNoEcho = 200,
        stNoPrompt = 201,
        stNoPasswordAnswer = 202,
        stUnknownAnswer = 203,
        stNotLoggedIn = 205,
        stPromptMismatch = 206,
        stNavigationFailed = 207,
        stWrongMenu = 208,
        stMenuRefused = 209, // the unit refused to enter the menu; the connection stays
    };

    // Result of the last connection attempt.
    enum TConnectError : int { ceNone = 0, ceNoEcho = 10, ceNoPrompt = 11, cePortFailed = 12 };

    // Levels the window shows.
    enum TLevel : uint8_t { lvOff = 0, lvConnecting = 1, lvAdmin = 2, lvSystem = 3 };

    explicit TAAMenu(TCOMServer& server);

    // Remembered for re-logins within one connection; empty means ask.
    QString Password;
    uint8_t Level = lvOff;
    uint8_t UnitMode = 0; // Unit::TUnitMode: where the unit is believed to be
    TJoint1* PendingJob = nullptr;
    int PortNumber = 1;
    // What the connect failure names the port by; empty: "COMn". The command
    // line's --device gives no COM number, so it names the device it was given.
    QString PortLabel;
    int ConnectError = ceNone;
    // Main thread: the level changed.
    std::function<void(uint8_t level)> OnLevelChanged;

    // Main thread: waits for the worker, then runs the job, connecting and
    // navigating first when the unit is not in its menu. Returns once started.
    void Submit(TJoint1* job);
    // Main thread: waits for the worker, then closes the connection.
    void Disconnect();

    bool Process() override;
    bool NeedsMainThread() override;

private:
    // Worker steps.
    void OpenPort();
    void WakeUnit();
    void WakeFailed(int state, int error);
    void SendPassword();
    void Navigate();
    void ClosePort();
    // Main-thread steps.
    void ReportConnect();
    void AskPassword();
    void Refused(const QString& warning);
    void ChangeLevel(uint8_t level, int next);
    void Failed(int state);

    // Navigation helpers: false after setting the failure state.
    bool ReadPrompt(const QByteArray& expected);
    // After a menu's command: its prompt, or the unit's refusal followed by
    // the prompt it stayed at.
    bool ReadMenuPrompt(const Unit::TUnitMenu& menu);
    bool SendCommand(const QByteArray& command);
    // Starts the worker with a job, gated as every hand-over is.
    bool BeginHandOver();
    // The unit is still at the prompt the last navigation read: nothing was
    // sent since (the job handed over ended before its first command, a
    // cancelled dialog), so no prompt is left to read.
    bool AtPromptAlreadyRead() const;

    TCOMServer& m_server;
    // Re-logins after a prompt mismatch within one hand-over: a unit that keeps
    // answering out of step would otherwise loop for ever.
    int m_relogins = 0;
    // TFormComm::SendCount when the last navigation handed the line over.
    std::optional<uint64_t> m_handedOverAt;
    // Said under the report of a port that did not open: the device tried and
    // the system's reason (for a refused access, with the remedy).
    QString m_openHint;
    // The menu command the unit refused and its reply word, for stMenuRefused.
    QString m_refusal;
};
