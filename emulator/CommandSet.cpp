#include "CommandSet.h"

#include "ParameterRules.h"
#include "UnitState.h"

void TCommandSet::AskCode(const std::function<void(int code)>& then)
{
    Talk.Ask("N", [this, then](const QByteArray& answer) {
        const int code = ParseDecimal(answer, 4);
        if (code < 0)
            Talk.Say("ERROR");
        else
            then(code);
    });
}

void TCommandSet::Commit()
{
    State.Save();
    Talk.Say("OK");
}

QByteArray TCommandSet::MessageLine(const TVoiceFile& file)
{
    if (file.Name.isEmpty())
        return "MSG=";
    return "MSG=" + file.Name + ' ' + QByteArray::number(file.Length);
}
