#include "ExtensionList.h"

#include "ParameterRules.h"

#include <algorithm>

namespace {

// Numbers of different lengths never meet (200 is not 0200), so a span keeps its length.
struct TSpan {
    qsizetype Digits = 0;
    int First = -1;
    int Last = -1;

    bool Valid() const { return First >= 0 && Last >= First; }
    bool Meets(const TSpan& other) const
    {
        return Digits == other.Digits && First <= other.Last && other.First <= Last;
    }
    bool operator<(const TSpan& other) const
    {
        return Digits != other.Digits ? Digits < other.Digits : First < other.First;
    }
};

TSpan SpanOf(const QByteArray& entry)
{
    const qsizetype dash = entry.indexOf('-');
    const QByteArray first = dash < 0 ? entry : entry.left(dash);
    const QByteArray last = dash < 0 ? entry : entry.mid(dash + 1);
    const int max = TExtensionList::MaxDigits;
    TSpan span{first.size(), ParseDecimal(first, max), ParseDecimal(last, max)};
    if (first.size() != last.size() || (dash >= 0 && span.First == span.Last))
        return {};
    return span;
}

} // namespace

TExtensionList::TResult TExtensionList::Add(const QByteArray& entry)
{
    const TSpan span = SpanOf(entry);
    if (!span.Valid())
        return TResult::Malformed;
    for (const QByteArray& present : m_entries)
        if (SpanOf(present).Meets(span))
            return TResult::Conflict;
    if (m_entries.size() >= Capacity)
        return TResult::Full;
    const auto at = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [&](const QByteArray& present) { return span < SpanOf(present); });
    m_entries.insert(at - m_entries.cbegin(), entry);
    return TResult::Ok;
}

TExtensionList::TResult TExtensionList::Remove(const QByteArray& entry)
{
    return m_entries.removeOne(entry) ? TResult::Ok : TResult::Unknown;
}
