#pragma once
// One voice file moved between the computer and the unit: the one flow that
// the pages' upload and download buttons and the command line's --upload and
// --download all run. The file to send is checked before the unit hears of
// it; the transfer window (shown, or unattended) does the move while the
// recording's job does the unit's side; once the unit's own report is in, a
// failure on the computer's side is said in words, and a file that moved whole
// although the run did not go as asked is said to be safe. What the run came
// to is returned for the caller's exit code.

#include <QString>

#include <functional>

class QWidget;
class TAAMenu;
class TCOMServer;
class TFile;

struct TTransferOutcome {
    bool Started = false;       // the transfer began; otherwise a message has said why
    int ExitCode = 0;           // the transfer component's, once it began (0: done)
    bool Placed = false;        // a download is in place
    bool ReceivedWhole = false; // a download arrived whole (placed or not)
    // The file moved whole although the run did not go as asked (a cancel, an
    // error on either side after its last byte); it has been said.
    bool WholeDespiteTrouble = false;
};

class TVoiceTransfer {
public:
    // parent: the window the transfer window belongs to; nullptr for a run
    // without a person, where the transfer window is never shown.
    TVoiceTransfer(TAAMenu& session, TCOMServer& server, QWidget* parent);

    // Per packet: bytes moved so far and the file's size (0 until known).
    std::function<void(qint64 bytes, qint64 total)> OnProgress;

    // Main thread. job: the recording's job of the catalogue.
    TTransferOutcome Upload(TFile* job, const QString& file);
    TTransferOutcome Download(TFile* job, const QString& target);

private:
    TTransferOutcome Run(TFile* job, int state, const QString& target);

    TAAMenu& m_session;
    TCOMServer& m_server;
    QWidget* m_parent;
};

// A transfer component's exit code (not 0) in the user's words.
QString TransferFailureText(int exitCode);
