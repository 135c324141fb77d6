#include "Mailboxes.h"

#include "ParameterRules.h"

bool TMailboxes::IsOwner(const QByteArray& owner)
{
    return ParseDecimal(owner, MaxOwnerDigits) >= 0;
}

int TMailboxes::ParseSeconds(const QByteArray& text)
{
    const int seconds = ParseDecimal(text, 5);
    return seconds >= 1 ? seconds : -1;
}

int TMailboxes::FreeSeconds() const
{
    int used = 0;
    for (const TMailbox& box : m_boxes)
        used += box.Seconds;
    return RecordingSeconds - used;
}

qsizetype TMailboxes::IndexOf(const QByteArray& owner) const
{
    for (qsizetype i = 0; i < m_boxes.size(); ++i)
        if (m_boxes[i].Owner == owner)
            return i;
    return -1;
}

TMailboxes::TResult TMailboxes::Create(const QByteArray& owner, int seconds)
{
    if (!IsOwner(owner) || Has(owner) || Full() || seconds < 1)
        return TResult::Error;
    if (seconds > FreeSeconds())
        return TResult::NoFreeMem;
    m_boxes.append({owner, seconds});
    return TResult::Ok;
}

TMailboxes::TResult TMailboxes::Resize(const QByteArray& owner, int seconds)
{
    const qsizetype at = IndexOf(owner);
    if (at < 0)
        return TResult::NotFound;
    if (seconds < 1)
        return TResult::Error;
    if (seconds > FreeSeconds() + m_boxes[at].Seconds)
        return TResult::NoFreeMem;
    m_boxes[at].Seconds = seconds;
    return TResult::Ok;
}

TMailboxes::TResult TMailboxes::Delete(const QByteArray& owner)
{
    const qsizetype at = IndexOf(owner);
    if (at < 0)
        return TResult::NotFound;
    m_boxes.removeAt(at);
    return TResult::Ok;
}
