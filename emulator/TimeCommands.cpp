#include "TimeCommands.h"

#include "UnitState.h"

bool TTimeCommands::Run(const QByteArray& command)
{
    if (command == "GET") {
        Talk.Say(State.Clock.Now());
    } else if (command == "SET") {
        Talk.Ask("T", [this](const QByteArray& digits) {
            if (State.Clock.Set(digits))
                Commit();
            else
                Talk.Say("ERROR");
        });
    } else {
        return false;
    }
    return true;
}
