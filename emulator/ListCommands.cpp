#include "ListCommands.h"

#include "UnitState.h"

bool TListCommands::Run(const QByteArray& command)
{
    if (command == "GETALL")
        GetAll();
    else if (command == "ADD")
        Talk.Ask("N", [this](const QByteArray& entry) { Add(entry); });
    else if (command == "REMOVE")
        Talk.Ask("N", [this](const QByteArray& entry) { Remove(entry); });
    else
        return false;
    return true;
}

void TListCommands::GetAll()
{
    for (const QByteArray& entry : State.Extensions.Entries())
        Talk.Say(entry);
}

void TListCommands::Add(const QByteArray& entry)
{
    switch (State.Extensions.Add(entry)) {
    case TExtensionList::TResult::Ok:
        Commit();
        break;
    case TExtensionList::TResult::Full:
        Talk.Say("NO_FREE_MEM");
        break;
    default:
        Talk.Say("ERROR");
        break;
    }
}

void TListCommands::Remove(const QByteArray& entry)
{
    if (State.Extensions.Remove(entry) == TExtensionList::TResult::Ok)
        Commit();
    else
        Talk.Say("ERROR");
}
