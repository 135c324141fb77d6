#include "FuzzTargets.h"

#include <cstring>

namespace Fuzz {

TTarget FindTarget(const char* name)
{
    static const struct {
        const char* Name;
        TTarget Run;
    } targets[] = {
        {"ymodem", YModemReceive},
        {"line", LineExchange},
        {"replies", UnitReplies},
        {"watcher", PromptWatcher},
        {"telnet", TelnetReceive},
    };
    for (const auto& t : targets)
        if (std::strcmp(t.Name, name) == 0)
            return t.Run;
    return nullptr;
}

} // namespace Fuzz
