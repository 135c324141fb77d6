#pragma once
// The unit's voice mailboxes: up to fifteen owners, each with a recording time
// taken from one shared budget of recording seconds.

#include <QByteArray>
#include <QList>

struct TMailbox {
    QByteArray Owner;
    int Seconds = 0;
};

class TMailboxes {
public:
    static constexpr int Capacity = 15;
    static constexpr int RecordingSeconds = 3600;
    static constexpr int MaxOwnerDigits = 8;

    enum class TResult { Ok, NoFreeMem, NotFound, Error };

    static bool IsOwner(const QByteArray& owner);
    // A size in seconds, 1 or more; -1 when the text is not one. Whether it
    // fits the free recording time is for Create and Resize to say.
    static int ParseSeconds(const QByteArray& text);

    bool Full() const { return m_boxes.size() >= Capacity; }
    bool Has(const QByteArray& owner) const { return IndexOf(owner) >= 0; }
    int FreeSeconds() const;
    const QList<TMailbox>& List() const { return m_boxes; }

    TResult Create(const QByteArray& owner, int seconds);
    TResult Resize(const QByteArray& owner, int seconds);
    TResult Delete(const QByteArray& owner);

private:
    qsizetype IndexOf(const QByteArray& owner) const;
    QList<TMailbox> m_boxes;
};
