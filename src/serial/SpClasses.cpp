#include "SpClasses.h"

#include <algorithm>
#include <cassert>
#include <cstring>

TSpWaitEvent::TSpWaitEvent(bool manualReset, bool initialState)
    : m_manualReset(manualReset), m_signaled(initialState)
{
}

void TSpWaitEvent::Set()
{
    {
        std::lock_guard lock(m_mutex);
        m_signaled = true;
    }
    if (m_manualReset)
        m_cond.notify_all();
    else
        m_cond.notify_one();
}

void TSpWaitEvent::Reset()
{
    std::lock_guard lock(m_mutex);
    m_signaled = false;
}

bool TSpWaitEvent::IsSet() const
{
    std::lock_guard lock(m_mutex);
    return m_signaled;
}

TSpWaitResult TSpWaitEvent::Wait(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return m_signaled; };
    if (timeoutMs < 0)
        m_cond.wait(lock, ready);
    else if (!m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
        return TSpWaitResult::Timeout;
    if (!m_manualReset)
        m_signaled = false;
    return TSpWaitResult::Signaled;
}

void TSpTimer::Start(int timeoutMs)
{
    m_start = std::chrono::steady_clock::now();
    m_timeout = timeoutMs;
}

int TSpTimer::Elapsed() const
{
    using namespace std::chrono;
    return int(duration_cast<milliseconds>(steady_clock::now() - m_start).count());
}

bool TSpTimer::Expired() const
{
    return Elapsed() > m_timeout;
}

int TSpTimer::Remaining() const
{
    return std::max(0, m_timeout - Elapsed());
}

TSpCommBuffer::TSpCommBuffer(int capacity) : m_block(size_t(std::max(capacity, 0))) {}

void TSpCommBuffer::Append(const uint8_t* data, int n)
{
    assert(n >= 0 && n <= Room());
    std::memcpy(m_block.data() + m_count, data, size_t(n));
    m_count += n;
}

void TSpCommBuffer::Peek(uint8_t* dest, int n) const
{
    assert(n >= 0 && n <= m_count);
    std::memcpy(dest, m_block.data(), size_t(n));
}

void TSpCommBuffer::Take(uint8_t* dest, int n)
{
    Peek(dest, n);
    Remove(n);
}

void TSpCommBuffer::Remove(int n)
{
    assert(n >= 0 && n <= m_count);
    std::memmove(m_block.data(), m_block.data() + n, size_t(m_count - n));
    m_count -= n;
}

void TSpPersistent::Changed()
{
    if (m_updateCount == 0 && OnChange)
        OnChange();
}

void TSpPersistent::AssignWith(const std::function<void()>& copyValues)
{
    ++m_updateCount;
    try {
        copyValues();
    } catch (...) {
        --m_updateCount;
        throw;
    }
    --m_updateCount;
    Changed();
}

void TSpBuffers::Assign(const TSpBuffers& o)
{
    AssignWith([&] {
        SetReadSize(o.m_readSize);
        SetWriteSize(o.m_writeSize);
        SetReadTimeout(o.m_readTimeout);
        SetWriteTimeout(o.m_writeTimeout);
        SetXonLimit(o.m_xonLimit);
        SetXoffLimit(o.m_xoffLimit);
    });
}

void TSpEventChars::Assign(const TSpEventChars& o)
{
    AssignWith([&] {
        SetXonChar(o.m_xon);
        SetXoffChar(o.m_xoff);
        SetErrorChar(o.m_error);
        SetEventChar(o.m_event);
        SetEofChar(o.m_eof);
    });
}

void TSpFlowControl::Assign(const TSpFlowControl& o)
{
    AssignWith([&] {
        SetOutCtsFlow(o.m_outCts);
        SetOutDsrFlow(o.m_outDsr);
        SetControlDtr(o.m_dtr);
        SetControlRts(o.m_rts);
        SetXonXoffOut(o.m_xonOut);
        SetXonXoffIn(o.m_xonIn);
        SetDsrSensitivity(o.m_dsrSensitivity);
        SetTxContinueOnXoff(o.m_txContinue);
    });
}
