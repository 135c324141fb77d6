#pragma once
// "PC SYS>": reading and writing the numbered parameters, and the service
// messages' recordings (codes 60 to 73): clear, download, upload by SET.

#include "CommandSet.h"

struct TParamRule;

class TSysCommands : public TCommandSet {
public:
    using TCommandSet::TCommandSet;
    QByteArray Prompt() const override { return "PC SYS>"; }
    bool Run(const QByteArray& command) override;

private:
    void Get(int code);
    void Set(int code);
    void Clear(int code);
    void DownloadMessage(int code);
    // The rule for a code the logged-in level may use; null otherwise.
    const TParamRule* Permitted(int code) const;
    const TParamRule* PermittedVoice(int code) const;
};
