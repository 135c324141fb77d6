#pragma once
// "PC MAIL>": the mailboxes with their sizes and the free recording time.

#include "CommandSet.h"
#include "Mailboxes.h"

class TMailCommands : public TCommandSet {
public:
    using TCommandSet::TCommandSet;
    QByteArray Prompt() const override { return "PC MAIL>"; }
    bool Run(const QByteArray& command) override;

private:
    void GetAll();
    void Create();
    void Edit();
    void Delete(const QByteArray& owner);
    // Asks "S" for the size, then applies it with change.
    void AskSize(const std::function<TMailboxes::TResult(int seconds)>& change);
    void SayOutcome(TMailboxes::TResult result);
};
