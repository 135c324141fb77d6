#pragma once
// The program's line to a device (the emulated unit) through a byte relay, so
// that a test can act at a chosen byte of a YModem transfer on it: send a
// signal as the end of file passes, or put a cancel in a block's place.

#include "ByteRelay.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace TestSupport {

class TTappedLine {
public:
    // Relays between a fresh pseudo-terminal for the program (Device()) and
    // device; the hook sees the given direction (AtoB: from the program).
    TTappedLine(const QString& device, TByteRelay::TDirection direction, TByteRelay::THook hook);
    ~TTappedLine();
    TTappedLine(const TTappedLine&) = delete;
    TTappedLine& operator=(const TTappedLine&) = delete;

    QString Device() const { return m_program.SlavePath(); }

private:
    TPtyPair m_program;
    int m_deviceFd;
    TByteRelay m_relay;
};

// A hook that walks the blocks of the YModem transfer whose header block names
// `name` by their lead bytes: onLead(n, lead) gets the lead of the n-th block
// after the header, the last one being the end of file (EOT), before it passes
// on, and returns the byte passed on in its place. The walk stops at the end of
// file, or at a byte that leads no block.
TByteRelay::THook YModemLeads(const QByteArray& name, std::function<char(int block, char lead)> onLead);

} // namespace TestSupport
