#pragma once
// Whether this system can run the demo mode's unit. It talks to the program
// through a pseudo-terminal, which Linux has and Windows has not; on Windows
// the demo waits for the network connection to the emulated unit.

#include <QString>

#include <optional>

// Why the demo cannot run here (a plain sentence for the user); nothing when it can.
std::optional<QString> DemoUnavailable();
