#pragma once
// "PC LIST>": the extension list, read whole and edited entry by entry.

#include "CommandSet.h"

class TListCommands : public TCommandSet {
public:
    using TCommandSet::TCommandSet;
    QByteArray Prompt() const override { return "PC LIST>"; }
    bool Run(const QByteArray& command) override;

private:
    void GetAll();
    void Add(const QByteArray& entry);
    void Remove(const QByteArray& entry);
};
