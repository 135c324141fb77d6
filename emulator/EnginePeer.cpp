#include "EnginePeer.h"

#include "RawFiles.h"
#include "TrafficLog.h"

#include "serial/SpComm.h"
#include "transfer/SpProtocol.h"

#include <QElapsedTimer>
#include <QSocketNotifier>

#include <chrono>
#include <thread>

namespace {

// The line's pace is the unit's business: the engine's port only has to
// keep up with it, and gives up on a silence well before the unit's own watch.
constexpr int EngineTimeoutMs = 10000;
// How long the end of the engine's connection may take to come after the port closed.
constexpr int DrainLimitMs = 2000;

} // namespace

TEnginePeer::TEnginePeer(TTrafficLog& log, int silenceTimeoutMs) : TYModemPeer(log, silenceTimeoutMs) {}

TEnginePeer::~TEnginePeer()
{
    if (m_ymodem)
        m_ymodem->OnTransferEnd = nullptr;
    TearDown();
}

void TEnginePeer::Receive(const QString& folder)
{
    Log().Note(QStringLiteral("transfer: the engine receives into %1").arg(folder));
    Start([folder](TSpYModem& ymodem) {
        ymodem.SetMode(tmDownload);
        ymodem.SetTargetFolder(folder);
    });
}

void TEnginePeer::Send(const QString& folder)
{
    const QList<QByteArray> names = RegularFiles(RawPath(folder));
    Log().Note(QStringLiteral("transfer: the engine sends from %1").arg(folder));
    const QString path = names.isEmpty() ? QString() : FromRawPath(RawPath(folder) + '/' + names.front());
    Start([path](TSpYModem& ymodem) {
        ymodem.SetMode(tmUpload);
        ymodem.Files = QStringList{path};
    });
}

void TEnginePeer::Start(const std::function<void(TSpYModem&)>& prepare)
{
    TearDown();
    QString error;
    int port = 0;
    if (!UnitIo::Listen(QStringLiteral("127.0.0.1"), 0, m_listener, port, error)) {
        Log().Note(QStringLiteral("transfer: ") + error);
        Complete(NotStarted);
        return;
    }
    m_acceptor = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    connect(m_acceptor.get(), &QSocketNotifier::activated, this, &TEnginePeer::OnClientWaiting);
    m_comm = std::make_unique<TSpComm>();
    m_comm->SetDeviceName(QStringLiteral("tcp://127.0.0.1:%1").arg(port));
    m_comm->SetDirectWrite(true);
    m_ymodem = std::make_unique<TSpYModem>();
    m_ymodem->SetComm(m_comm.get());
    m_ymodem->SetProtocol(YModem);
    m_ymodem->SetTimeout(EngineTimeoutMs);
    prepare(*m_ymodem);
    m_ymodem->OnTransferEnd = [this](TSpProtocol*, int exitCode) { OnTransferEnd(exitCode); };
    try {
        m_comm->Open();
        m_ymodem->StartTransfer();
    } catch (const std::exception& e) {
        Log().Note(QStringLiteral("transfer: the engine did not start: ") + QString::fromUtf8(e.what()));
        TearDown();
        Complete(NotStarted);
        return;
    }
    Started();
}

void TEnginePeer::OnClientWaiting()
{
    const UnitIo::THandle client = UnitIo::Accept(m_listener);
    if (client == UnitIo::None || m_inner != UnitIo::None) {
        UnitIo::Close(client);
        return;
    }
    m_inner = client;
    m_reader = std::make_unique<QSocketNotifier>(m_inner, QSocketNotifier::Read);
    connect(m_reader.get(), &QSocketNotifier::activated, this, &TEnginePeer::OnEngineOutput);
    Flush();
}

void TEnginePeer::Deliver(const QByteArray& bytes)
{
    if (!m_ymodem)
        return;
    m_toEngine += bytes;
    Flush();
}

void TEnginePeer::Flush()
{
    // The loopback takes a block and more at once; what it leaves waits for the next bytes or the next turn.
    while (m_inner != UnitIo::None && !m_toEngine.isEmpty()) {
        const qint64 n = UnitIo::Write(m_inner, m_toEngine.constData(), m_toEngine.size());
        if (n <= 0) {
            QTimer::singleShot(1, this, &TEnginePeer::Flush);
            return;
        }
        m_toEngine.remove(0, n);
    }
}

qint64 TEnginePeer::OnEngineOutput()
{
    char buffer[4096];
    QString reason;
    const qint64 n = UnitIo::Read(m_inner, buffer, sizeof buffer, reason);
    if (n > 0)
        emit ToLine(QByteArray(buffer, n));
    else if (n == UnitIo::Ended)
        m_reader->setEnabled(false);
    return n;
}

void TEnginePeer::DrainUntilEnd()
{
    QElapsedTimer clock;
    clock.start();
    while (m_reader && m_reader->isEnabled() && clock.elapsed() < DrainLimitMs) {
        if (OnEngineOutput() == UnitIo::WouldBlock)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TEnginePeer::Abandon()
{
    if (m_ymodem)
        m_ymodem->CancelTransfer();
}

void TEnginePeer::OnTransferEnd(int exitCode)
{
    Log().Note(QStringLiteral("transfer: the engine ended, code %1").arg(exitCode));
    // Its last answer must be on the line before the unit reports the result:
    // the port writes directly, so it is in the connection already, and the
    // connection's end follows it once the port is closed.
    QMetaObject::invokeMethod(this, [this, exitCode] {
        m_comm->Close();
        DrainUntilEnd();
        TearDown();
        Complete(exitCode == ecDone ? Ok : PeerFailed);
    }, Qt::QueuedConnection);
}

void TEnginePeer::TearDown()
{
    m_ymodem.reset();
    m_comm.reset();
    m_reader.reset();
    m_acceptor.reset();
    UnitIo::Close(m_inner);
    UnitIo::Close(m_listener);
    m_inner = m_listener = UnitIo::None;
    m_toEngine.clear();
}
