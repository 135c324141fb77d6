#include "Comm.h"

#include "MessageSink.h"
#include "UnitDialog.h"
#include "serial/SpSync.h"


#include <cstdio>

namespace {

TFormComm* g_formComm = nullptr;

// Set while this thread writes the password: the port's tap runs in the
// writing thread, so it tells the password from bytes other threads write.
thread_local bool t_sendingSecret = false;

} // namespace

TFormComm* FormComm()
{
    return g_formComm;
}

TFormComm::TFormComm(QObject* parent) : QObject(parent)
{
    SpComm1.SetBaudrate(br19200);
    SpComm1.SetParity(paNone);
    SpComm1.SetDatabits(db8);
    SpComm1.SetStopbits(sb1);
    TSpFlowControl flow; // every member off, DTR and RTS held inactive
    SpComm1.SetFlowControl(flow);
    SpComm1.SetPortNum(2);
    SpComm1.SetDeviceName(QStringLiteral("COM%d"));
    SpComm1.Buffers().SetReadTimeout(10);
    SpComm1.Buffers().SetWriteTimeout(10);
    SpComm1.OnRxBuf = [this](TSpComm* sender, const uint8_t* data, int count) {
        SpComm1RxBuf(sender, data, count);
    };
    SpComm1.OnError = [this](TSpComm* sender, int errors) { SpComm1Error(sender, errors); };
    SpComm1.OnOpen = [this](TSpComm*) {
        std::lock_guard lock(m_lock);
        m_lineLost = false;
    };
    // Attached and active, the watcher makes the port read and deliver every byte.
    SpWaitMessage1.SetComm(&SpComm1);
    SpWaitMessage1.SetActive(true);
    SpWaitMessage1.Loaded();
    g_formComm = this;
}

TFormComm::~TFormComm()
{
    // The port's threads may outlive this object by a moment.
    SpComm1.SetLineTap(nullptr);
    SpComm1.Close();
    if (g_formComm == this)
        g_formComm = nullptr;
}

bool TFormComm::Send(const QByteArray& bytes)
{
    ++m_sends;
    return SpComm1.WriteText(bytes);
}

bool TFormComm::SendSecret(const QByteArray& bytes)
{
    ++m_sends;
    struct TSecretMark {
        TSecretMark() { t_sendingSecret = true; }
        ~TSecretMark() { t_sendingSecret = false; } // the port may throw
    } mark;
    return SpComm1.WriteText(bytes);
}

void TFormComm::SetLineTap(TLineTap* tap)
{
    // The port stops calling the old tap before it is forgotten here.
    SpComm1.SetLineTap(nullptr);
    {
        std::lock_guard lock(m_lock);
        m_tap.store(tap);
        m_hungUp = false;
    }
    if (tap)
        SpComm1.SetLineTap(this);
}

void TFormComm::Writing(const uint8_t* data, int count)
{
    TLineTap* tap = m_tap.load();
    const QByteArray bytes(reinterpret_cast<const char*>(data), count);
    if (t_sendingSecret)
        tap->SentSecret(bytes);
    else
        tap->Sent(bytes);
}

void TFormComm::Read(const uint8_t* data, int count)
{
    m_tap.load()->Received(QByteArray(reinterpret_cast<const char*>(data), count));
}

void TFormComm::Note(const QString& text)
{
    m_tap.load()->Note(text);
}

void TFormComm::SpComm1RxBuf(TSpComm*, const uint8_t* data, int count)
{
    std::lock_guard lock(m_lock);
    ++m_deliveries;
    const qsizetype before = m_rxText.size();
    for (int i = 0; i < count; ++i)
        if (data[i] != '\n')
            m_rxText += char(data[i]);
    if (!m_armed)
        return;
    // Anything found before this burst was found when the wait was armed.
    const qsizetype from = std::max<qsizetype>(0, before - m_awaited.size() + 1);
    if (m_rxText.indexOf(m_awaited, from) >= 0) {
        m_armed = false;
        m_matchEvent.Set();
    }
}

// A vanished device sends nothing more: the wait in progress ends now rather
// than at its timeout, and so does every later one.
void TFormComm::SpComm1Error(TSpComm*, int errors)
{
    if (!(errors & leDevice))
        return;
    std::lock_guard lock(m_lock);
    m_lineLost = true;
    m_matchEvent.Set();
}

bool TFormComm::LineLost() const
{
    std::lock_guard lock(m_lock);
    return m_lineLost;
}

QByteArray TFormComm::RxText() const
{
    std::lock_guard lock(m_lock);
    return m_rxText;
}

bool TFormComm::RefusedInMainThread(const char* primitive) const
{
    if (!spIsMainThread())
        return false;
    // The main thread delivers the very bytes such a wait is for.
    std::fprintf(stderr, "%s: called in the main thread; refused\n", primitive);
    return true;
}

TFormComm::TTapAnswer TFormComm::AskTap(const QByteArray& text, std::unique_lock<std::mutex>& lock)
{
    TLineTap* tap = m_tap.load();
    if (!tap)
        return taNone;
    const uint64_t seen = m_deliveries;
    lock.unlock();
    const TLineTap::TVerdict verdict = tap->Waiting(text);
    lock.lock();
    if (verdict == TLineTap::HangUp)
        return taHungUp;
    if (verdict == TLineTap::RunOut)
        return taRunOut;
    return m_deliveries != seen ? taDelivered : taNone;
}

int TFormComm::AwaitAndCut(const QByteArray& text, int timeoutMs, QByteArray* through)
{
    TSpTimer timer(timeoutMs);
    std::unique_lock lock(m_lock);
    m_awaited = text;
    // A signal left by an earlier wait that timed out must not count.
    m_matchEvent.Reset();
    qsizetype at = m_rxText.indexOf(text);
    while (at < 0) {
        if (m_hungUp || m_lineLost) {
            m_armed = false;
            return wrAbandoned;
        }
        m_armed = true;
        switch (AskTap(text, lock)) {
        case taHungUp:
            m_hungUp = true;
            continue;
        case taRunOut:
            m_armed = false;
            return wrTimeout;
        case taDelivered:
            // Only the receive handler's verdict counts, as with bytes from a device.
            if (m_matchEvent.Wait(0) == TSpWaitResult::Signaled)
                at = m_rxText.indexOf(text);
            continue;
        case taNone:
            break;
        }
        lock.unlock();
        const bool signalled = m_matchEvent.Wait(timer.Remaining()) == TSpWaitResult::Signaled;
        lock.lock();
        at = m_rxText.indexOf(text);
        if (at < 0 && !signalled) {
            m_armed = false;
            return wrTimeout;
        }
    }
    m_armed = false;
    const qsizetype end = at + text.size();
    if (through)
        *through = m_rxText.left(end);
    m_rxText = m_rxText.mid(end, KeptAfterMatch);
    return wrFound;
}

int TFormComm::SendAndWaitEcho(const QByteArray& text, int timeoutMs)
{
    return EchoedSend("SendAndWaitEcho", text, timeoutMs, false);
}

int TFormComm::SendSecretAndWaitEcho(const QByteArray& text, int timeoutMs)
{
    return EchoedSend("SendSecretAndWaitEcho", text, timeoutMs, true);
}

void TFormComm::SetSecretValue(bool on)
{
    if (TLineTap* tap = m_tap.load())
        tap->SecretValue(on);
}

int TFormComm::EchoedSend(const char* name, const QByteArray& text, int timeoutMs, bool secret)
{
    if (RefusedInMainThread(name))
        return wrFailed;
    {
        std::lock_guard lock(m_lock);
        m_rxText.clear();
    }
    if (secret)
        SendSecret(text);
    else
        Send(text);
    return AwaitAndCut(text, timeoutMs, nullptr);
}

int TFormComm::WaitForText(const QByteArray& text, int timeoutMs)
{
    if (RefusedInMainThread("WaitForText"))
        return wrFailed;
    return AwaitAndCut(text, timeoutMs, nullptr);
}

int TFormComm::ReadThrough(QByteArray& text, int timeoutMs)
{
    if (RefusedInMainThread("ReadThrough"))
        return wrFailed;
    return AwaitAndCut(text, timeoutMs, &text);
}

void TFormComm::SendAnnounce(const QByteArray& command, int code, const QString& failure)
{
    const bool ok = SendAndWaitEcho(command, 5000) == wrFound
        && WaitForText(Unit::NumberPrompt, 5000) == wrFound
        && SendAndWaitEcho(QByteArray::number(code) + Unit::LineEnd, 5000) == wrFound;
    if (!ok)
        ErrorBox(failure);
}

void TFormComm::SendGet(int code)
{
    SendAnnounce(Unit::Get, code, QStringLiteral("SendGet: Bad Transactions"));
}

void TFormComm::SendSet(int code)
{
    SendAnnounce(Unit::Set, code, QStringLiteral("SendSet: Bad Transactions"));
}

void TFormComm::MessageGet(int code, QByteArray& name, int& length)
{
    SendGet(code);
    QByteArray line = Unit::LineEnd;
    if (ReadThrough(line, 5000) != wrFound) {
        ErrorBox(QStringLiteral("MessageGet: Reception error"));
        return;
    }
    if (!line.startsWith(Unit::MessageHead)) {
        ErrorBox(QStringLiteral("MessageGet: parameter (%1): error parsing name: ").arg(code) + Unit::FromUnit(line));
        return;
    }
    const QByteArray rest = line.mid(Unit::MessageHead.size()).chopped(1); // without the CR
    if (rest.isEmpty()) {
        name.clear();
        return;
    }
    const qsizetype blank = rest.indexOf(' ');
    name = blank < 0 ? rest : rest.left(blank);
    int value = 0;
    if (blank < 0 || !Unit::ParseDecimal(rest.mid(blank + 1), value)) {
        ErrorBox(QStringLiteral("MessageGet: Incorrect length format, parameter: %1").arg(code));
        return;
    }
    length = value;
}
