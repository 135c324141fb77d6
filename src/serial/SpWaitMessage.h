#pragma once
// The prompt watcher: a companion of the port that watches the received bytes
// for any of a list of strings and reports each arrival of one. Attached and
// active, it also makes the port read every byte and raise OnRxBuf.

#include "SpComm.h"

#include <QByteArray>
#include <QList>

class TSpWaitMessage : public TSpCommComponent {
public:
    // The strings to watch, as bytes. "^" and a Latin letter stand for the
    // control character (^M is 13); "^^" ends the entry. Setting them empties
    // every window.
    const QList<QByteArray>& Strings() const { return m_strings; }
    void SetStrings(const QList<QByteArray>& strings);
    bool CaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool on) { m_caseSensitive = on; }
    bool Active() { return Dispatcher().Active(); }
    void SetActive(bool on) { Dispatcher().SetActive(on); }

    // Raised in the main thread with the index of the string that just arrived.
    std::function<void(TSpWaitMessage* sender, int index)> OnMessage;

    void Loaded() override { Rebuild(); }

    static QByteArray DecodeCarets(const QByteArray& entry);

protected:
    void DataReceived(const uint8_t* data, int count) override;

private:
    void Rebuild();
    bool Matches(const QByteArray& window, const QByteArray& pattern) const;

    QList<QByteArray> m_strings;
    bool m_caseSensitive = false;
    QList<QByteArray> m_patterns;
    QList<QByteArray> m_windows; // the latest bytes, never longer than the pattern
};
