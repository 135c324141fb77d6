#include "MailCommands.h"

#include "UnitState.h"

bool TMailCommands::Run(const QByteArray& command)
{
    if (command == "GETALL")
        GetAll();
    else if (command == "CREATE")
        Create();
    else if (command == "EDIT")
        Edit();
    else if (command == "DELETE")
        Talk.Ask("N", [this](const QByteArray& owner) { Delete(owner); });
    else
        return false;
    return true;
}

void TMailCommands::GetAll()
{
    for (const TMailbox& box : State.Mailboxes.List())
        Talk.Say("N=" + box.Owner + " S=" + QByteArray::number(box.Seconds));
    Talk.Say("FREE=" + QByteArray::number(State.Mailboxes.FreeSeconds()));
}

void TMailCommands::Create()
{
    if (State.Mailboxes.Full()) {
        // Sent where the "N" prompt would be; the program reads it as the
        // prompt "N" followed by the line "O_FREE_BOX".
        Talk.Say("NO_FREE_BOX");
        return;
    }
    Talk.Ask("N", [this](const QByteArray& owner) {
        if (!TMailboxes::IsOwner(owner) || State.Mailboxes.Has(owner))
            Talk.Say("ERROR");
        else
            AskSize([this, owner](int seconds) { return State.Mailboxes.Create(owner, seconds); });
    });
}

void TMailCommands::Edit()
{
    Talk.Ask("N", [this](const QByteArray& owner) {
        if (!State.Mailboxes.Has(owner))
            Talk.Say("NOT_FOUND");
        else
            AskSize([this, owner](int seconds) { return State.Mailboxes.Resize(owner, seconds); });
    });
}

void TMailCommands::Delete(const QByteArray& owner)
{
    SayOutcome(State.Mailboxes.Delete(owner));
}

void TMailCommands::AskSize(const std::function<TMailboxes::TResult(int seconds)>& change)
{
    Talk.Ask("S", [this, change](const QByteArray& size) {
        const int seconds = TMailboxes::ParseSeconds(size);
        SayOutcome(seconds < 0 ? TMailboxes::TResult::Error : change(seconds));
    });
}

void TMailCommands::SayOutcome(TMailboxes::TResult result)
{
    switch (result) {
    case TMailboxes::TResult::Ok:
        Commit();
        break;
    case TMailboxes::TResult::NoFreeMem:
        Talk.Say("NO_FREE_MEM");
        break;
    case TMailboxes::TResult::NotFound:
        Talk.Say("NOT_FOUND");
        break;
    case TMailboxes::TResult::Error:
        Talk.Say("ERROR");
        break;
    }
}
