#pragma once
// The unit's side of a YModem transfer, played by lrzsz (rb to receive, sb -k
// to send) on pipes: the unit relays the line's bytes to it and its output to
// the line, and ends the transfer when the line stays silent too long.

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

class TTrafficLog;

class TYModemPeer : public QObject {
    Q_OBJECT
public:
    // The numbers a transfer reports as "TRANSFER_RESULT:YMODEM_ERR(n)".
    enum TResult {
        Ok = 0,
        PeerFailed = 1,  // lrzsz gave up (cancelled, too many errors, bad data)
        PeerCrashed = 2, // lrzsz ended by a signal
        TimedOut = 3,    // the line stayed silent: the program went away
        NotStarted = 4,  // lrzsz could not be started
        NotStored = 5,   // the received file could not be kept (no file, several files)
    };

    TYModemPeer(TTrafficLog& log, int silenceTimeoutMs);
    ~TYModemPeer() override;

    // Receives one batch into folder (rb).
    void Receive(const QString& folder);
    // Sends the one file in folder (sb, 1K blocks).
    void Send(const QString& folder);
    void FromLine(const QByteArray& bytes);

signals:
    void ToLine(const QByteArray& bytes);
    void Finished(int result);

private:
    void Launch(const QString& folder, const QString& program, const QStringList& arguments);
    void OnOutput();
    void OnFinished(int exitCode, QProcess::ExitStatus status);
    void OnError(QProcess::ProcessError error);
    void OnSilence();

    TTrafficLog& m_log;
    QProcess m_process;
    QTimer m_silence;
    bool m_timedOut = false;
};
