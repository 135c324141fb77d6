// The Linux half of DemoAvailability.h: the demo runs.
#include "DemoAvailability.h"

std::optional<QString> DemoUnavailable()
{
    return std::nullopt;
}
