#pragma once
// "PC TIME>": the unit's clock, read and set as DDMMYYhhmmss.

#include "CommandSet.h"

class TTimeCommands : public TCommandSet {
public:
    using TCommandSet::TCommandSet;
    QByteArray Prompt() const override { return "PC TIME>"; }
    bool Run(const QByteArray& command) override;
};
