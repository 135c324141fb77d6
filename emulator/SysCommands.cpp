#include "SysCommands.h"

#include "ParameterRules.h"
#include "UnitState.h"

bool TSysCommands::Run(const QByteArray& command)
{
    if (command == "GET")
        AskCode([this](int code) { Get(code); });
    else if (command == "SET")
        AskCode([this](int code) { Set(code); });
    else if (command == "CLEAR")
        AskCode([this](int code) { Clear(code); });
    else if (command == "DLMSG")
        AskCode([this](int code) { DownloadMessage(code); });
    else
        return false;
    return true;
}

const TParamRule* TSysCommands::Permitted(int code) const
{
    const TParamRule* rule = FindParamRule(code);
    return rule && (Talk.SystemMode() || !rule->SystemOnly) ? rule : nullptr;
}

const TParamRule* TSysCommands::PermittedVoice(int code) const
{
    const TParamRule* rule = Permitted(code);
    return rule && rule->Kind == TParamKind::Voice ? rule : nullptr;
}

void TSysCommands::Get(int code)
{
    const TParamRule* rule = Permitted(code);
    if (!rule)
        Talk.Say("ERROR");
    else if (rule->Kind == TParamKind::Voice)
        Talk.Say(MessageLine(State.Voice.Info(SysVoiceKey(code))));
    else
        Talk.Say('=' + State.Param(code));
}

void TSysCommands::Set(int code)
{
    const TParamRule* rule = Permitted(code);
    if (!rule || rule->Kind == TParamKind::ReadOnly) {
        Talk.Say("ERROR"); // instead of the "=" prompt: the code itself is refused
        return;
    }
    if (rule->Kind == TParamKind::Voice) {
        Talk.Upload(SysVoiceKey(code));
        return;
    }
    Talk.Ask("=", [this, code, rule](const QByteArray& value) {
        if (!rule->Accepts(value)) {
            Talk.Say("ERROR");
            return;
        }
        State.SetParam(code, rule->Normalized(value));
        Commit();
    });
}

void TSysCommands::Clear(int code)
{
    if (!PermittedVoice(code)) {
        Talk.Say("ERROR");
        return;
    }
    State.Voice.Clear(SysVoiceKey(code));
    Commit();
}

void TSysCommands::DownloadMessage(int code)
{
    if (PermittedVoice(code) && !State.Voice.Info(SysVoiceKey(code)).Name.isEmpty())
        Talk.Download(SysVoiceKey(code));
    else
        Talk.Say("ERROR");
}
