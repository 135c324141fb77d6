#include "SpProtocolThread.h"

#include "serial/SpSync.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>
#include <stdexcept>

TSpProtocolThread::TSpProtocolThread(TSpProtocol& owner)
    : m_owner(owner)
    , m_mode(owner.Mode())
    , m_timeout(owner.Timeout())
    , m_maxErrors(owner.MaxErrors())
    , m_queue(std::max(owner.BufferSize(), 1))
    , m_hand(size_t(m_queue.Capacity()))
{
}

TSpProtocolThread::~TSpProtocolThread()
{
    if (m_thread.joinable())
        m_thread.join();
}

void TSpProtocolThread::Start()
{
    m_thread = std::thread([this] {
        Execute();
        // The end handler joins this thread, so it cannot run inside this
        // hand-over: the main thread posts it to itself for later.
        TSpProtocol* owner = &m_owner;
        spSynchronize([owner, self = this] {
            QMetaObject::invokeMethod(
                &owner->m_endContext, [owner, self] { owner->TransferEnded(self); }, Qt::QueuedConnection);
        });
    });
}

void TSpProtocolThread::Execute()
{
    // A thread serves one transfer, so it starts with its state fresh; bytes
    // delivered before it got going are already the peer's answer.
    spSetThreadPriority(spCurrentThreadId(), tpHigher);
    try {
        if (m_mode == tmDownload)
            ReceiveBatch();
        else
            SendBatch();
    } catch (const TSpTransferAbort&) {
        // The exit code is set.
    } catch (...) {
        // A port or file failure outside the protocol's own checks (for example
        // "Output buffer is full"): never let it pass as success.
        m_owner.SetExitCode(m_mode == tmDownload ? ecWriteFailed : ecReadFailed);
        try {
            SendCancel();
        } catch (...) {
            // The port refuses the cancel too: nothing more to tell the peer.
        }
    }
    m_terminated.store(true);
    CloseFile();
}

void TSpProtocolThread::Cancel()
{
    m_cancel.store(true);
    m_wake.Set();
}

void TSpProtocolThread::Terminate()
{
    m_terminated.store(true);
    m_wake.Set();
}

void TSpProtocolThread::LineLost()
{
    m_lineLost.store(true);
    m_wake.Set();
}

void TSpProtocolThread::FinishIfLineLost()
{
    if (m_lineLost.load())
        Finish(m_mode == tmDownload ? ecWriteFailed : ecReadFailed);
}

void TSpProtocolThread::EarlyReceived(const uint8_t* data, int count)
{
    if (m_overflow.load())
        return;
    {
        std::lock_guard lock(m_queueLock);
        if (count > m_queue.Room())
            m_overflow.store(true);
        else
            m_queue.Append(data, count);
    }
    m_wake.Set();
}

bool TSpProtocolThread::TakeWaiting()
{
    if (m_handPos < m_handCount)
        return true;
    std::lock_guard lock(m_queueLock);
    m_handCount = m_queue.Count();
    m_handPos = 0;
    if (m_handCount > 0)
        m_queue.Take(m_hand.data(), m_handCount);
    return m_handCount > 0;
}

int TSpProtocolThread::ReadByte()
{
    for (;;) {
        FinishIfLineLost();
        if (m_overflow.load()) {
            SendCancel();
            Finish(ecOverflow);
        }
        if (Cancelled()) {
            SendCancel();
            Finish(ecCancelled);
        }
        if (TakeWaiting()) {
            m_answerDue = false;
            return m_hand[size_t(m_handPos++)];
        }
        // Reset before the last look: a chunk that arrives after it sets the
        // event again, so the wait below cannot miss it.
        m_wake.Reset();
        if (TakeWaiting() || Cancelled() || m_overflow.load() || m_lineLost.load())
            continue;
        // A wait cut short by a held cancel is no error of the line: the next
        // round ends the transfer.
        if (m_wake.Wait(WaitLimit(m_timeout)) == TSpWaitResult::Timeout && !(m_lateCancel && m_lateCancel->Expired()))
            CountError(erTimeout, false);
    }
}

void TSpProtocolThread::HoldCancel(bool hold)
{
    m_cancelHeld = hold;
    m_lateCancel.reset();
}

int TSpProtocolThread::WaitLimit(int ms)
{
    if (!m_cancelHeld || !m_cancel.load())
        return ms;
    if (!m_lateCancel)
        m_lateCancel.emplace(LateCancelMs);
    if (m_lateCancel->Expired()) {
        SendCancel();
        Finish(ecCancelled);
    }
    return std::min(ms, std::max(m_lateCancel->Remaining(), 1));
}

int TSpProtocolThread::PeekByte()
{
    return TakeWaiting() ? m_hand[size_t(m_handPos)] : -1;
}

bool TSpProtocolThread::HasData()
{
    return TakeWaiting();
}

bool TSpProtocolThread::WaitForData(int timeoutMs)
{
    const TSpTimer timer(timeoutMs);
    for (;;) {
        m_wake.Reset();
        FinishIfLineLost();
        if (TakeWaiting() || m_overflow.load())
            return true;
        if (Cancelled() || timer.Expired())
            return false;
        m_wake.Wait(WaitLimit(std::max(timer.Remaining(), 1)));
    }
}

void TSpProtocolThread::AwaitOwedAnswer(int timeoutMs)
{
    if (!std::exchange(m_answerDue, false))
        return;
    const TSpTimer timer(timeoutMs);
    for (;;) {
        m_wake.Reset();
        if (TakeWaiting()) {
            ++m_handPos;
            return;
        }
        if (m_overflow.load() || m_lineLost.load() || m_terminated.load() || timer.Expired())
            return;
        m_wake.Wait(std::max(timer.Remaining(), 1));
    }
}

void TSpProtocolThread::SendBytes(const uint8_t* data, int count)
{
    if (m_terminated.load() || count <= 0)
        return;
    if (m_owner.Dispatcher().Write(data, count) != count)
        throw std::runtime_error("the port took no data");
}

void TSpProtocolThread::SendByte(uint8_t byte)
{
    SendBytes(&byte, 1);
}

void TSpProtocolThread::SendCancel() {}

void TSpProtocolThread::OpenForSending(const QString& path)
{
    // Read only: the file is never written, and read-only files must be sendable.
    m_file = std::make_unique<QFile>(path);
    if (!m_file->open(QIODevice::ReadOnly)) {
        m_file.reset();
        SendCancel();
        Finish(ecOpenFailed);
    }
}

void TSpProtocolThread::CreateForReceiving(const QString& path)
{
    // NewOnly: the caller picked a free name; never follow a link or replace a
    // file that appeared meanwhile. Unbuffered: a failed write shows at once.
    m_file = std::make_unique<QFile>(path);
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        m_file.reset();
        SendCancel();
        Finish(ecCreateFailed);
    }
}

void TSpProtocolThread::CloseFile()
{
    m_file.reset();
}

bool TSpProtocolThread::AtEndOfFile() const
{
    return m_file && m_file->pos() >= m_file->size();
}

void TSpProtocolThread::CountError(int code, bool cancel)
{
    ++m_errorCount;
    if (m_errorCount >= m_maxErrors) {
        if (cancel)
            SendCancel();
        Finish(ecTooManyErrors);
    }
    const int count = m_errorCount;
    RaiseInMainThread([&] {
        if (m_owner.OnError)
            m_owner.OnError(&m_owner, code, count);
    });
}

void TSpProtocolThread::Finish(int code)
{
    m_owner.SetExitCode(code);
    throw TSpTransferAbort{code};
}

void TSpProtocolThread::RaiseInMainThread(const std::function<void()>& fn)
{
    spSynchronize([&] {
        if (!m_owner.Destroying())
            m_owner.RaiseSafely(fn);
    });
}

void TSpProtocolThread::PostToMainThread(std::function<void()> fn)
{
    std::lock_guard lock(m_postLock);
    m_posted.push_back(std::move(fn));
    if (std::exchange(m_postPending, true))
        return;
    // The end notice is queued behind this hand-over, so this object is still
    // there when it runs.
    spPost([this] { RunPosted(); });
}

void TSpProtocolThread::RunPosted()
{
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_postLock);
        calls.swap(m_posted);
        m_postPending = false;
    }
    for (const auto& fn : calls)
        if (!m_owner.Destroying())
            m_owner.RaiseSafely(fn);
}
