#pragma once
// The unit's YModem side played by the program's own engine (TSpYModem),
// for Windows, where there is no lrzsz. The engine rides on a port, so the
// peer gives it one: a connection over the loopback to a listener of its own,
// opened as "tcp://127.0.0.1:PORT". What the line brings is written into that
// connection, and what the engine sends comes out of it onto the line.

#include "UnitIo.h"
#include "YModemPeer.h"

#include <QByteArray>

#include <memory>

class QSocketNotifier;
class TSpComm;
class TSpYModem;

class TEnginePeer final : public TYModemPeer {
    Q_OBJECT
public:
    TEnginePeer(TTrafficLog& log, int silenceTimeoutMs);
    ~TEnginePeer() override;

    void Receive(const QString& folder) override;
    void Send(const QString& folder) override;

private:
    void Deliver(const QByteArray& bytes) override;
    void Abandon() override;
    // Opens the engine's port and starts it; prepare sets its mode and files.
    void Start(const std::function<void(TSpYModem&)>& prepare);
    void OnClientWaiting();
    // Passes on what the engine sent; returns what the read gave (UnitIo::Read).
    qint64 OnEngineOutput();
    // Passes on everything up to the connection's end, within a bound.
    void DrainUntilEnd();
    void Flush();
    void OnTransferEnd(int exitCode);
    // Closes the port and both ends of the connection.
    void TearDown();

    std::unique_ptr<TSpComm> m_comm;
    std::unique_ptr<TSpYModem> m_ymodem;
    UnitIo::THandle m_listener = UnitIo::None;
    UnitIo::THandle m_inner = UnitIo::None; // the unit's end of the engine's connection
    std::unique_ptr<QSocketNotifier> m_acceptor;
    std::unique_ptr<QSocketNotifier> m_reader;
    QByteArray m_toEngine; // from the line, not yet taken by the connection
};
