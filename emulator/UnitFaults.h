#pragma once
// Faults the emulated unit can be told to show, at start (options) or while it
// runs (control lines on standard input), so that tests can see how the program
// copes with a unit that misbehaves.

#include <QByteArray>
#include <QSet>

struct TUnitFaults {
    bool Silent = false;      // ignores everything it receives: no echo, no reply
    bool Busy = false;        // every login is answered "BUSY"
    bool Bytewise = false;    // every output byte goes out as its own burst
    int ReplyDelayMs = 0;     // pause before every reply line and prompt
    int NextYModemError = 0;  // reported instead of the next transfer's own result
    QSet<QByteArray> Refused; // command words answered "ERROR" (Windows-1251 bytes)
    bool Garbage = false;     // stray bytes before every reply line
    QByteArray Word;          // said as a line instead of one coming reply line or question
    int WordSkip = 0;         // reply lines and questions let through before Word
};
