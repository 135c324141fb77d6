#pragma once
// The transfer window: moves one voice file between the computer and the unit
// with YModem, shows what moves and how far it got, and lets the user cancel.
// The voice-file job of the row does the unit's side: the window submits it,
// the job starts the transfer through its start hook once the unit is ready,
// and when the transfer has ended the window hands the job back to read the
// unit's own report. A download is received into a private temporary folder
// and replaces the file the user chose when it arrived whole (every byte of
// its declared size, every block checked) — also when a cancel or a failure
// came after its last byte — and never otherwise.

#include "transfer/SpProtocol.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTemporaryDir;
class TAAMenu;
class TCOMServer;
class TFile;

class TFormYMU : public QDialog {
    Q_OBJECT
public:
    TFormYMU(TAAMenu& session, TCOMServer& server, QWidget* parent = nullptr);
    ~TFormYMU() override;

    QLabel* Label1;
    QProgressBar* ProgressBar1;
    QLabel* Label3;
    QLineEdit* Edit2;
    QLabel* Label4;
    QLineEdit* Edit3;
    QLabel* Label2;
    QLineEdit* Edit1;
    QPushButton* Button1;
    TSpYModem SpYModem1;

    // Set before the window is shown: the job in its upload state with
    // LocalFilePath set, or in its download state; for a download the path
    // the user chose for the file.
    TFile* Job = nullptr;
    QString TargetPath;
    // Per packet: bytes moved so far and the file's size (0 until known).
    std::function<void(qint64 bytes, qint64 total)> OnProgress;

    // The transfer window that exists, if any; the jobs' start hook starts
    // its transfer.
    static TFormYMU* Current();

    // For a run without a person: runs the move without showing the window and
    // returns once the transfer has ended, or as soon as the job's request
    // ended without starting one (the job has reported why). The job may still
    // be reading the unit's report when this returns.
    void RunUnattended();
    bool TransferStarted() const { return m_started; }
    // The download replaced (or created) the file at TargetPath.
    bool Placed() const { return m_placed; }
    // Some file arrived whole (it may still have failed to take its place).
    bool ReceivedWhole() const { return m_receivedWhole; }
    // The component's exit code once the transfer has ended (0: done).
    int ExitCode() const { return m_exitCode; }
    // Without asking: cancels as the confirmed "Отменить" does, also a
    // transfer the unit has yet to start, and marks the run as cancelled when
    // its transfer has already ended. A cancel after the file's last byte has
    // moved lets the transfer end (see TSpYModem).
    void Cancel();
    // Once the unit's report has been read (the server idle): the file moved
    // whole although the run did not go as asked — a cancel, or an error on
    // either side after its last byte. A download is then in place; an upload
    // the unit has stored.
    bool WholeDespiteTrouble() const;
    // Says so, after the unit's own report: the user must not take the
    // trouble for a lost file.
    void ReportWholeDespiteTrouble() const;

public slots:
    // Every way of closing (the button, Escape, the frame) asks FormCloseQuery.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    bool FormCloseQuery();
    void StartTransfer();
    void SpYModem1FileInfo(const QString& name, qint64 size);
    void SpYModem1PacketEvent(int packet, qint64 byteCount);
    void SpYModem1TransferEnd(int exitCode);
    void PlaceDownload();
    bool Downloading() const;

    TAAMenu& m_session;
    TCOMServer& m_server;
    std::unique_ptr<QTemporaryDir> m_received;
    qint64 m_size = 0;
    int m_exitCode = ecDone;
    bool m_shown = false;
    bool m_submitted = false;
    bool m_started = false;
    bool m_placed = false;
    bool m_receivedWhole = false;
    bool m_ended = false;
    bool m_querying = false;
    bool m_cancelAsked = false; // by the user or an interruption
};
