#include "SpComm.h"

#include "SpCommThreads.h"
#include "SpDeviceNames.h"
#include "SpNetAddress.h"
#include "session/MessageSink.h"

#include <QStringList>

#include <algorithm>

namespace {

const char* const kPortIsOpen = "Can't perform this operation while port is open";

// Fills the message pattern's %d and %s placeholders in order.
QString formatMessage(const char* pattern, const QStringList& args)
{
    QString out;
    const QString text = QString::fromLatin1(pattern);
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool placeholder = text[i] == u'%' && i + 1 < text.size()
            && (text[i + 1] == u'd' || text[i + 1] == u's') && next < args.size();
        if (placeholder) {
            out += args[next++];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// pattern takes the code and its text, in that order.
[[noreturn]] void raiseDeviceError(const TSpDevice& device, const char* pattern, int code)
{
    throw ESpCommError(formatMessage(pattern, {QString::number(code), device.ErrorText(code)}),
                       device.Classify(code));
}

int bitRate(TSpBaudrate rate, int userRate)
{
    static const int rates[] = {0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200,
                                38400, 56000, 57600, 115200, 128000, 256000};
    return rate == brUser ? userRate : rates[rate];
}

} // namespace

ESpCommError::ESpCommError(const QString& message, TSpFailure failure)
    : std::runtime_error(message.toStdString()), m_failure(failure)
{
}

TSpCustomComm::TSpCustomComm()
    : m_early(std::make_shared<TSpEarlyReceivers>()), m_tap(std::make_shared<TSpTapSlot>())
{
    m_eventChars.OnChange = [this] { LineSettingsChanged(); };
    m_flowControl.OnChange = [this] { LineSettingsChanged(); };
    m_buffers.OnChange = [this] { RequireClosed(); };
}

TSpCustomComm::~TSpCustomComm()
{
    m_destroying = true;
    const auto line = Line();
    Close();
    // Destroyed outside the main thread while it runs one of our hand-overs:
    // that call must end before this object does.
    if (line)
        line->Gate.WaitIdle();
    for (TSpDispatcher* d : std::vector<TSpDispatcher*>(m_dispatchers))
        d->m_comm.store(nullptr);
    // An event thread still ending must not reach a receiver that outlives us
    // and never hears of our end.
    m_early->Clear();
    m_tap->Set(nullptr);
}

TSpComm* TSpCustomComm::Sender()
{
    return static_cast<TSpComm*>(this); // every TSpCustomComm is a TSpComm
}

std::shared_ptr<TSpLine> TSpCustomComm::Line() const
{
    std::lock_guard lock(m_lineMutex);
    return m_line;
}

TSpLineEnd TSpCustomComm::LineEnd() const
{
    const auto line = Line();
    return line ? line->Device->LineEnd() : TSpLineEnd{};
}

bool TSpCustomComm::IsOpen() const
{
    return Line() != nullptr;
}

QString TSpCustomComm::FormattedName() const
{
    return spFormatDeviceName(m_deviceName, m_portNum);
}

void TSpCustomComm::RequireClosed() const
{
    if (IsOpen())
        throw ESpCommError(QString::fromLatin1(kPortIsOpen));
}

void TSpCustomComm::RaiseSafely(const std::function<void()>& raise)
{
    try {
        raise();
    } catch (const std::exception& e) {
        ErrorBox(QString::fromUtf8(e.what()));
    }
}

void TSpCustomComm::Open()
{
    RequireClosed();
    OpenDevice();
    try {
        const auto line = Line();
        if (m_updateDcb)
            WriteLineSettings(*line);
        StartThreads();
    } catch (...) {
        std::shared_ptr<TSpLine> line;
        {
            std::lock_guard lock(m_lineMutex);
            line.swap(m_line);
        }
        StopThreads(line);
        throw;
    }
    if (OnOpen)
        spSynchronize([this] { RaiseSafely([this] { OnOpen(Sender()); }); });
}

void TSpCustomComm::OpenDevice()
{
    // Named by the device actually tried: "COM1" alone does not tell the user
    // which of the computer's devices failed.
    const QString name = spResolveDevice(FormattedName());
    if (QString error; spIsNetworkName(name) && !spParseNetAddress(name, error))
        throw ESpCommError(error);
    std::unique_ptr<TSpDevice> device = spCreateDevice(name);
    device->OnNotice = [tap = m_tap, name](const QString& text) { tap->Note(name + QStringLiteral(": ") + text); };
    if (const int err = device->Open(name)) {
        const TSpFailure failure = device->Classify(err);
        if (failure == TSpFailure::NotFound)
            throw ESpCommError(formatMessage("Specified device not found (%s).", {name}), failure);
        throw ESpCommError(formatMessage("Can't open specified device %s (Error %d, %s)",
                                         {name, QString::number(err), device->ErrorText(err)}),
                           failure);
    }
    if (spIsNetworkName(name))
        m_tap->Note(QStringLiteral("connected to ") + name);
    auto line = std::make_shared<TSpLine>(std::move(device));
    line->Early = m_early;
    line->Tap = m_tap;
    line->ReadTimeout = m_buffers.ReadTimeout();
    line->WriteTimeout = m_buffers.WriteTimeout();
    std::lock_guard lock(m_lineMutex);
    m_line = std::move(line);
}

int TSpCustomComm::EventMask() const
{
    // The write thread reports the end of its writes itself.
    return m_directWrite ? m_monitorEvents : m_monitorEvents & ~ceTxEmpty;
}

void TSpCustomComm::StartThreads()
{
    const auto line = Line();
    if (const int mask = EventMask()) {
        line->EventThread = std::make_unique<TSpCommEventThread>(this, mask);
        line->EventThread->Start(line, m_eventPriority);
    }
    if (!m_directWrite) {
        line->WriteThread = std::make_unique<TSpCommWriteThread>(this, m_buffers.WriteSize());
        line->WriteThread->Start(line, m_writePriority);
    }
}

void TSpCustomComm::StopThreads(const std::shared_ptr<TSpLine>& line)
{
    // Neither thread is waited for: each holds the line until it ends, and the
    // gate keeps any late hand-over away from this object.
    line->Stop();
    line->Device->Release();
}

void TSpCustomComm::Close()
{
    std::shared_ptr<TSpLine> line;
    {
        std::lock_guard lock(m_lineMutex);
        line.swap(m_line);
    }
    if (!line)
        return;
    StopThreads(line);
    line.reset();
    if (!m_destroying && OnClose)
        spSynchronize([this] { RaiseSafely([this] { OnClose(Sender()); }); });
}

void TSpCustomComm::Loaded()
{
    if (m_autoOpen)
        Open();
}

int TSpCustomComm::WriteBuf(const uint8_t* data, int count)
{
    if (count <= 0)
        return 0;
    m_tap->Writing(data, count);
    const auto line = Line();
    if (!line || line->Failed())
        return 0;
    if (!line->WriteThread)
        return WriteDirect(*line, data, count);
    switch (line->WriteThread->Enqueue(*line, data, count, line->WriteTimeout)) {
    case TSpCommWriteThread::TEnqueue::Queued:
        return count;
    case TSpCommWriteThread::TEnqueue::Failed:
        return 0;
    case TSpCommWriteThread::TEnqueue::Full:
        break;
    }
    throw ESpCommError(QStringLiteral("Output buffer is full. Please check comm status."));
}

int TSpCustomComm::WriteDirect(TSpLine& line, const uint8_t* data, int count)
{
    std::lock_guard lock(m_writeLock);
    TSpDevice& device = *line.Device;
    TSpTimer timer(line.ReadTimeout);
    int done = 0;
    while (done < count) {
        const int n = device.Write(data + done, count - done);
        if (n > 0) {
            done += n;
        } else if (n == 0) {
            if (timer.Expired()
                || device.Wait(nullptr, TSpDevice::rdWritable, std::max(1, timer.Remaining())) == 0)
                break;
        } else {
            line.MarkFailed();
            raiseDeviceError(device, "Write error (%d), %s", -n);
        }
    }
    if (done > 0 && line.EventThread) {
        line.TxEmptyPending.store(true);
        line.EventThread->Wake();
    }
    return done;
}

bool TSpCustomComm::WriteText(const QByteArray& text)
{
    return WriteBuf(reinterpret_cast<const uint8_t*>(text.constData()), int(text.size())) == text.size();
}

bool TSpCustomComm::WriteChar(uint8_t byte)
{
    return WriteBuf(&byte, 1) == 1;
}

int TSpCustomComm::ReadBuf(uint8_t* buffer, int count)
{
    std::lock_guard lock(m_readLock);
    const auto line = Line();
    if (!line || line->Failed() || count <= 0)
        return 0;
    std::lock_guard lineLock(line->ReadLock);
    const int n = line->Device->Read(buffer, count);
    if (n < 0) {
        line->MarkFailed();
        raiseDeviceError(*line->Device, "Read error (%d), %s", -n);
    }
    line->BytesRead.fetch_add(uint64_t(n));
    if (n > 0)
        m_tap->Read(buffer, n);
    if (line->EventThread)
        line->EventThread->Wake();
    return n;
}

TSpComStatus TSpCustomComm::GetComStatus()
{
    std::lock_guard lock(m_readLock);
    TSpComStatus status;
    const auto line = Line();
    if (!line)
        return status;
    status.Errors = line->Errors.exchange(0);
    if (line->Failed())
        return status;
    if (const int err = line->Device->BytesWaiting(status.InQue))
        raiseDeviceError(*line->Device, "Error retrieving statistics (%d), %s", err);
    line->Device->BytesUnsent(status.OutQue); // not every device can tell
    return status;
}

int TSpCustomComm::InQueCount()
{
    // Only the count: fetching it must not swallow error flags that an error
    // event of the same notification is about to report.
    std::lock_guard lock(m_readLock);
    const auto line = Line();
    int count = 0;
    if (line && !line->Failed())
        line->Device->BytesWaiting(count);
    return count;
}

void TSpCustomComm::PurgeRead()
{
    Purge(TSpDevice::puAbortRead | TSpDevice::puClearInput);
}

void TSpCustomComm::PurgeReadWrite()
{
    Purge(TSpDevice::puAbortWrite | TSpDevice::puAbortRead | TSpDevice::puClearOutput | TSpDevice::puClearInput);
}

void TSpCustomComm::Purge(int what)
{
    std::lock_guard lock(m_readLock);
    const auto line = Line();
    if (!line || line->Failed())
        return;
    if ((what & (TSpDevice::puAbortWrite | TSpDevice::puClearOutput)) && line->WriteThread)
        line->WriteThread->PurgeQueue();
    if (const int err = line->Device->Purge(what))
        raiseDeviceError(*line->Device, "Error clearing buffers (%d), %s", err);
    if (line->EventThread) {
        line->InputPurged.store(true);
        line->EventThread->Wake();
    }
}

void TSpCustomComm::DeliverReceived(const uint8_t* data, int count)
{
    m_tap->Read(data, count);
    m_early->Deliver(data, count);
    NotifyRxBuf(data, count);
}

void TSpCustomComm::AddEarlyReceiver(ISpEarlyReceiver* receiver)
{
    m_early->Add(receiver);
}

void TSpCustomComm::RemoveEarlyReceiver(ISpEarlyReceiver* receiver)
{
    m_early->Remove(receiver);
}

void TSpCustomComm::SetLineTap(ISpLineTap* tap)
{
    m_tap->Set(tap);
}

void TSpCustomComm::AddDispatcher(TSpDispatcher* d)
{
    TSpCustomComm* old = d->m_comm.load();
    if (old == this)
        return;
    if (old)
        old->RemoveDispatcher(d);
    m_dispatchers.push_back(d);
    d->m_comm.store(this);
}

void TSpCustomComm::RemoveDispatcher(TSpDispatcher* d)
{
    m_dispatchers.erase(std::remove(m_dispatchers.begin(), m_dispatchers.end(), d), m_dispatchers.end());
    if (d->m_comm.load() == this)
        d->m_comm.store(nullptr);
}

void TSpCustomComm::DeliverEvents(int mask)
{
    RaiseSafely([&] {
        if (mask & ceRxChar)
            HandleRxChar();
    });
    if (mask & ~ceRxChar)
        RaiseSafely([&] { HandleCommEvent(mask & ~ceRxChar); });
}

void TSpCustomComm::DeliverEarlyRead(const std::vector<uint8_t>& bytes, int mask)
{
    if (!bytes.empty())
        RaiseSafely([&] { NotifyRxBuf(bytes.data(), int(bytes.size())); });
    if (mask)
        RaiseSafely([&] { HandleCommEvent(mask); });
}

void TSpCustomComm::HandleRxChar()
{
    const int count = InQueCount();
    if (count <= 0)
        return;
    if (m_dispatchers.empty()) {
        if (OnRxChar)
            OnRxChar(Sender(), count);
        return;
    }
    std::vector<uint8_t> block(static_cast<size_t>(count));
    const int got = ReadBuf(block.data(), count);
    if (got > 0)
        NotifyRxBuf(block.data(), got);
}

void TSpCustomComm::NotifyRxBuf(const uint8_t* data, int count)
{
    // By index: a companion may detach itself from inside its handler.
    for (size_t i = 0; i < m_dispatchers.size(); ++i)
        if (m_dispatchers[i]->Active())
            m_dispatchers[i]->m_user->DataReceived(data, count);
    if (OnRxBuf)
        OnRxBuf(Sender(), data, count);
}

void TSpCustomComm::NotifyCommEvent(int mask)
{
    for (size_t i = 0; i < m_dispatchers.size(); ++i)
        if (m_dispatchers[i]->Active())
            m_dispatchers[i]->m_user->CommEvent(mask);
}

void TSpCustomComm::HandleCommEvent(int mask)
{
    if (mask & ceError) {
        const TSpComStatus status = GetComStatus();
        if (status.Errors && OnError)
            RaiseSafely([&] { OnError(Sender(), int(status.Errors)); });
    }
    if (!m_dispatchers.empty())
        NotifyCommEvent(mask);
    const std::pair<int, TNotifyEvent*> handlers[] = {
        {ceRxFlag, &OnRxFlag}, {ceCts, &OnCts}, {ceDsr, &OnDsr}, {ceRing, &OnRing},
        {ceRlsd, &OnRlsd}, {ceTxEmpty, &OnTxEmpty}, {ceBreak, &OnBreak}, {cePErr, &OnPErr},
        {ceRx80Full, &OnRx80Full}, {ceEvent1, &OnEvent1}, {ceEvent2, &OnEvent2}};
    for (const auto& [bit, handler] : handlers)
        if ((mask & bit) && *handler)
            (*handler)(Sender());
}

void TSpCustomComm::LineSettingsChanged()
{
    if (const auto line = Line(); line && m_updateDcb)
        WriteLineSettings(*line);
}

void TSpCustomComm::WriteLineSettings(const TSpLine& line)
{
    TSpLineSettings s;
    s.BitRate = bitRate(m_baudrate, m_userBaudrate);
    s.Parity = m_parity;
    s.DataBits = 4 + m_databits;
    s.StopBits = m_stopbits;
    s.HardwareFlow = m_flowControl.OutCtsFlow() || m_flowControl.ControlRts() == rtsHandshake;
    s.XonXoffOut = m_flowControl.XonXoffOut();
    s.XonXoffIn = m_flowControl.XonXoffIn();
    s.ParityCheck = m_options & coParityCheck;
    s.XonChar = m_eventChars.XonChar();
    s.XoffChar = m_eventChars.XoffChar();
    TSpDevice& device = *line.Device;
    if (const int err = device.ApplyLineSettings(s))
        raiseDeviceError(device, "Error writing dcb (%d), %s", err);
    // A device without modem lines (a pseudo-terminal) works without them.
    // Under hardware flow RTS is the flow control's.
    device.SetModemLines(TSpDevice::mlDtr, m_flowControl.ControlDtr() != dtrDisabled);
    if (!s.HardwareFlow)
        device.SetModemLines(TSpDevice::mlRts, m_flowControl.ControlRts() == rtsEnabled
                                                   || m_flowControl.ControlRts() == rtsToggle);
}

void TSpCustomComm::SetBaudrate(TSpBaudrate v)
{
    if (v == m_baudrate)
        return;
    m_baudrate = v;
    if (v != brUser)
        m_userBaudrate = 0;
    LineSettingsChanged();
}

void TSpCustomComm::SetUserBaudrate(int v)
{
    if (v == m_userBaudrate)
        return;
    m_userBaudrate = v;
    m_baudrate = brUser;
    LineSettingsChanged();
}

void TSpCustomComm::SetParity(TSpParity v)
{
    if (v != m_parity) {
        m_parity = v;
        LineSettingsChanged();
    }
}

void TSpCustomComm::SetDatabits(TSpDatabits v)
{
    if (v != m_databits) {
        m_databits = v;
        LineSettingsChanged();
    }
}

void TSpCustomComm::SetStopbits(TSpStopbits v)
{
    if (v != m_stopbits) {
        m_stopbits = v;
        LineSettingsChanged();
    }
}

void TSpCustomComm::SetOptions(TSpCommOptions v)
{
    if (v != m_options) {
        m_options = v;
        LineSettingsChanged();
    }
}

void TSpCustomComm::SetPortNum(int v)
{
    RequireClosed();
    m_portNum = v;
}

void TSpCustomComm::SetDeviceName(const QString& v)
{
    RequireClosed();
    m_deviceName = v;
}

void TSpCustomComm::SetMonitorEvents(TSpCommEvents v)
{
    RequireClosed();
    m_monitorEvents = v;
}

void TSpCustomComm::SetBuffers(const TSpBuffers& v)
{
    RequireClosed();
    m_buffers.Assign(v);
}

void TSpCustomComm::SetDirectWrite(bool v)
{
    RequireClosed();
    m_directWrite = v;
}

void TSpCustomComm::SetUpdateDCB(bool v)
{
    RequireClosed();
    m_updateDcb = v;
}

void TSpCustomComm::SetEventPriority(TSpThreadPriority v)
{
    m_eventPriority = v;
    if (const auto line = Line(); line && line->EventThread)
        line->EventThread->SetPriority(v);
}

void TSpCustomComm::SetWritePriority(TSpThreadPriority v)
{
    m_writePriority = v;
    if (const auto line = Line(); line && line->WriteThread)
        line->WriteThread->SetPriority(v);
}

TSpDispatcher::~TSpDispatcher()
{
    if (TSpCustomComm* comm = m_comm.load())
        comm->RemoveDispatcher(this);
}

int TSpDispatcher::Write(const uint8_t* data, int count)
{
    TSpCustomComm* comm = m_comm.load();
    return comm ? comm->WriteBuf(data, count) : 0;
}

void TSpDispatcher::Purge()
{
    if (TSpCustomComm* comm = m_comm.load())
        comm->PurgeReadWrite();
}

TSpCommComponent::TSpCommComponent() = default;

TSpCommComponent::~TSpCommComponent()
{
    SetComm(nullptr);
}

TSpComm* TSpCommComponent::Comm() const
{
    return static_cast<TSpComm*>(m_dispatcher.Comm());
}

void TSpCommComponent::SetComm(TSpComm* comm)
{
    if (comm)
        comm->AddDispatcher(&m_dispatcher);
    else if (TSpCustomComm* old = m_dispatcher.Comm())
        old->RemoveDispatcher(&m_dispatcher);
}

void TSpCommComponent::DataReceived(const uint8_t*, int) {}

void TSpCommComponent::CommEvent(int) {}
