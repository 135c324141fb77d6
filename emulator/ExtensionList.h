#pragma once
// The unit's list of extension numbers: single numbers and ranges "first-last",
// kept in numeric order, without overlaps, up to a fixed capacity.

#include <QByteArray>
#include <QList>

class TExtensionList {
public:
    static constexpr int Capacity = 64;
    static constexpr int MaxDigits = 8;

    enum class TResult { Ok, Malformed, Full, Conflict, Unknown };

    // An entry is a number of 1 to 8 digits, or two of equal length with the
    // first below the last; it must not share a number with another entry.
    TResult Add(const QByteArray& entry);
    // Removes an entry exactly as listed.
    TResult Remove(const QByteArray& entry);
    const QList<QByteArray>& Entries() const { return m_entries; }

private:
    QList<QByteArray> m_entries;
};
