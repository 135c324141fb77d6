#pragma once
// The fuzz targets: each takes one input and runs it through the program's own
// code, aborting on a fault. The libFuzzer executables and the replay test of
// the normal suite call the same functions, found by the name of their corpus
// folder.

#include <cstddef>
#include <cstdint>

namespace Fuzz {

using TTarget = void (*)(const uint8_t* data, size_t size);

// The YModem receiver, fed the input as everything the sender says.
void YModemReceive(const uint8_t* data, size_t size);
// The line exchange's three primitives, run from a script at the head of the
// input against the bursts that follow it, checked against a plain model.
void LineExchange(const uint8_t* data, size_t size);
// One settings job (and, when the input says so, the session's login and
// navigation before it) against the unit's replies taken from the input.
void UnitReplies(const uint8_t* data, size_t size);
// The prompt watcher: strings to watch from the head of the input, the
// received stream after it, every report checked against a plain model.
void PromptWatcher(const uint8_t* data, size_t size);

// The Telnet layer of the network device: a server's stream cut into reads
// from the head of the input, decoded whole and cut, checked against itself.
void TelnetReceive(const uint8_t* data, size_t size);

// By corpus folder name ("ymodem", "line", "replies", "watcher", "telnet"); nullptr if unknown.
TTarget FindTarget(const char* name);

} // namespace Fuzz
