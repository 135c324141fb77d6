#pragma once
// The emulated unit's command line: where it serves, what it remembers, how
// fast it talks and which faults it starts with.

#include "UnitFaults.h"

#include <QString>
#include <QStringList>

struct TUnitOptions {
    bool Pty = false;
    QString Device;
    QString TcpHost;            // --tcp: served over TCP when set
    int TcpPort = 0;            // 0: any free port
    QString StateFile;          // empty: a factory state in a temporary folder, forgotten at exit
    QString SystemPassword;     // empty: keep what the state holds
    QString AdminPassword;
    int BitRate = 19200;        // 0: no pacing
    bool CrLf = true;           // line ends CR LF (false: CR alone)
    QString LogFile;
    int TransferTimeoutMs = 15000;  // silence on the line that ends a transfer
    int ResultDelayMs = 500;        // pause between a transfer's end and its result line
    QString Peer;                   // --ymodem: one of TYModemPeer::Kinds(); empty: the default
    TUnitFaults Faults;
};

enum class TParseResult { Run, Exit, Error };

// Fills options from the arguments (argv[0] first). Exit: --help or --version
// was answered on standard output; Error: message says what is wrong.
TParseResult ParseUnitOptions(const QStringList& arguments, TUnitOptions& options, QString& message);
