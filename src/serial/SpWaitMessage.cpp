#include "SpWaitMessage.h"

namespace {

char upperLatin(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

} // namespace

void TSpWaitMessage::SetStrings(const QList<QByteArray>& strings)
{
    m_strings = strings;
    Rebuild();
}

QByteArray TSpWaitMessage::DecodeCarets(const QByteArray& entry)
{
    QByteArray out;
    for (qsizetype i = 0; i < entry.size(); ++i) {
        const char c = entry[i];
        if (c != '^' || i + 1 == entry.size()) {
            out += c;
            continue;
        }
        const char next = entry[++i];
        const char upper = upperLatin(next);
        if (next == '^')
            break;
        if (upper >= 'A' && upper <= 'Z')
            out += char(upper - 64);
        else
            out += QByteArray(1, '^') + next;
    }
    return out;
}

void TSpWaitMessage::Rebuild()
{
    m_patterns.clear();
    for (const QByteArray& entry : m_strings)
        m_patterns << DecodeCarets(entry);
    m_windows = QList<QByteArray>(m_patterns.size());
}

bool TSpWaitMessage::Matches(const QByteArray& window, const QByteArray& pattern) const
{
    if (window.size() != pattern.size())
        return false;
    if (m_caseSensitive)
        return window == pattern;
    for (qsizetype i = 0; i < window.size(); ++i)
        if (upperLatin(window[i]) != upperLatin(pattern[i]))
            return false;
    return true;
}

void TSpWaitMessage::DataReceived(const uint8_t* data, int count)
{
    for (int k = 0; k < count; ++k) {
        const char c = data[k] == 0 ? ' ' : char(data[k]);
        // By index and re-checked: a handler may change the strings.
        for (qsizetype i = 0; i < m_patterns.size() && i < m_windows.size(); ++i) {
            const QByteArray& pattern = m_patterns[i];
            if (pattern.isEmpty())
                continue;
            QByteArray& window = m_windows[i];
            window += c;
            const bool hit = Matches(window, pattern);
            if (window.size() == pattern.size())
                window.remove(0, 1);
            if (hit && OnMessage)
                OnMessage(this, int(i));
        }
    }
}
