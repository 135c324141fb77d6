#pragma once
// What one direction of the line looks like in the line trace: bytes turned
// into readable text (control bytes by their names, the unit's Windows-1251 as
// text, a password as stars) and YModem blocks told by their structure in one
// summary line each instead of being dumped. It keeps its state between calls,
// since a block or a text arrives in pieces.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class TTraceStream {
public:
    struct TPiece {
        bool Block = false; // a summary that stands on a line of its own
        QString Text;
    };

    // The pieces the bytes make; a block still arriving yields nothing yet.
    std::vector<TPiece> Feed(const QByteArray& bytes);
    // Bytes that must show as stars; the same bytes coming back (the unit's
    // echo of them) show as stars too.
    std::vector<TPiece> FeedSecret(const QByteArray& bytes);
    // Expect the echo of these bytes (in the other direction's stream).
    // The bytes are copied, not shared: they come from the sending thread,
    // whose own copy must not share a buffer with one the receiving thread edits.
    void MaskEcho(const QByteArray& bytes) { m_echo.append(bytes.constData(), bytes.size()); }
    // On: the next value ("=" up to its CR) shows as stars; off: no value
    // is awaited any more.
    void MaskValue(bool on) { m_value = on ? vAwaited : vNone; }
    // A block cut short, told as such; nothing when none is open.
    std::vector<TPiece> Finish();

    // One byte as text: "<CR>", "<CAN>", "A", "д", "<0x98>".
    static QString ByteText(uint8_t byte);

private:
    void FeedByte(uint8_t byte, std::vector<TPiece>& out);
    void AddText(std::vector<TPiece>& out, const QString& text);
    void EndBlock(std::vector<TPiece>& out);
    QString Summary() const;

    QByteArray m_block; // a block being collected, from its SOH or STX
    QByteArray m_echo;  // secret bytes whose echo is still to come
    bool m_headerNext = true; // a block 0 now is a file's header
    enum { vNone, vAwaited, vMasked } m_value = vNone; // a secret reply value
};
