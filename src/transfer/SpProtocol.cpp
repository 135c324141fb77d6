#include "SpProtocol.h"

#include "SpYModemThread.h"
#include "serial/SpSync.h"
#include "session/MessageSink.h"

#include <stdexcept>

TSpProtocol::TSpProtocol()
{
    // Between transfers the component takes no bytes from the port.
    Dispatcher().SetActive(false);
}

TSpProtocol::~TSpProtocol()
{
    StopTransfer();
}

void TSpProtocol::StartTransfer()
{
    if (m_thread)
        throw std::runtime_error("Transfer already in progress...");
    PrepareTransfer();
    m_thread = CreateProtocolThread();
    // The thread takes the port's bytes as they are read, not from the main
    // thread: the far end's every answer would otherwise wait for it.
    if (TSpComm* comm = Comm())
        comm->AddEarlyReceiver(m_thread.get());
    DoTransferStart();
    m_thread->Start();
}

void TSpProtocol::PrepareTransfer()
{
    m_exitCode.store(ecDone);
    Dispatcher().Purge();
    Dispatcher().SetActive(true);
}

void TSpProtocol::CancelTransfer()
{
    if (m_thread)
        m_thread->Cancel();
}

// The port raises ceError only when its device failed or went away: nothing
// more will come or go, so waiting out the timeouts would only keep the user
// waiting.
void TSpProtocol::CommEvent(int mask)
{
    if ((mask & ceError) && m_thread)
        m_thread->LineLost();
}

void TSpProtocol::DoTransferStart()
{
    if (OnTransferStart)
        RaiseSafely([this] { OnTransferStart(this); });
}

void TSpProtocol::DoTransferEnd()
{
    if (OnTransferEnd)
        RaiseSafely([this] { OnTransferEnd(this, ExitCode()); });
}

void TSpProtocol::RaiseSafely(const std::function<void()>& raise)
{
    try {
        raise();
    } catch (const std::exception& e) {
        ErrorBox(QString::fromUtf8(e.what()));
    }
}

void TSpProtocol::TransferEnded(const TSpProtocolThread* thread)
{
    if (m_thread.get() != thread)
        return;
    Dispatcher().SetActive(false);
    if (TSpComm* comm = Comm())
        comm->RemoveEarlyReceiver(m_thread.get());
    m_thread.reset();
    // Forgotten before the event, so that its handler may start the next transfer.
    if (!m_destroying)
        DoTransferEnd();
}

void TSpProtocol::StopTransfer()
{
    if (!m_thread)
        return;
    m_destroying = true;
    m_thread->Terminate();
    m_thread->Cancel();
    // The thread may be waiting for this thread to run one of its events: keep
    // serving them until its end notice has been handled.
    spProcessMessagesUntil([this] { return m_thread == nullptr; });
}

void TSpXYModem::RaiseFileInfo(const QString& name, qint64 size)
{
    if (OnFileInfo)
        OnFileInfo(this, name, size);
}

void TSpXYModem::RaisePacket(int packet, qint64 byteCount)
{
    if (OnPacketEvent)
        OnPacketEvent(this, packet, byteCount);
}

TSpYModem::~TSpYModem()
{
    StopTransfer();
}

std::unique_ptr<TSpProtocolThread> TSpYModem::CreateProtocolThread()
{
    return std::make_unique<TSpYModemThread>(*this);
}

void TSpYModem::PrepareTransfer()
{
    TSpXYModem::PrepareTransfer();
    if (Mode() == tmDownload)
        Files.clear();
}
