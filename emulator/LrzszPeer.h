#pragma once
// The unit's YModem side played by lrzsz (rb to receive, sb -k to send) on
// pipes: an implementation independent of the program's, so that the tests
// meet a peer the program's authors did not write. Linux only.

#include "YModemPeer.h"

#include <QProcess>

class TLrzszPeer final : public TYModemPeer {
    Q_OBJECT
public:
    TLrzszPeer(TTrafficLog& log, int silenceTimeoutMs);
    ~TLrzszPeer() override;

    void Receive(const QString& folder) override;
    void Send(const QString& folder) override;

private:
    void Deliver(const QByteArray& bytes) override;
    void Abandon() override;
    void Launch(const QString& folder, const QString& program, const QStringList& arguments);
    void OnOutput();
    void OnFinished(int exitCode, QProcess::ExitStatus status);
    void OnError(QProcess::ProcessError error);

    QProcess m_process;
};
