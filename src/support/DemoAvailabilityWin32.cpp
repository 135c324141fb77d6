// The Windows half of DemoAvailability.h.
#include "DemoAvailability.h"

std::optional<QString> DemoUnavailable()
{
    return QStringLiteral(
        "the demo is not available on Windows yet: it needs the network connection to the emulated unit, "
        "which a later version of Parlotel brings. Connect to a unit with --port N (or choose its COM port "
        "in the window).");
}
