#include "MenuCommands.h"

#include "UnitState.h"

bool TMenuCommands::Run(const QByteArray& command)
{
    if (command == "GET")
        AskMenu([this](int menu) { Get(menu); });
    else if (command == "SET")
        AskMenu([this](int menu) { Set(menu); });
    else if (command == "ULMSG")
        AskMenu([this](int menu) { Talk.Upload(MenuVoiceKey(menu)); });
    else if (command == "DLMSG")
        AskMenu([this](int menu) { DownloadMessage(menu); });
    else if (command == "DELMSG")
        AskMenu([this](int menu) { DeleteMessage(menu); });
    else
        return false;
    return true;
}

void TMenuCommands::AskMenu(const std::function<void(int menu)>& then)
{
    AskCode([this, then](int code) {
        if (code < VoiceMenuCount)
            then(code);
        else
            Talk.Say("ERROR");
    });
}

void TMenuCommands::Get(int menu)
{
    const TVoiceMenu& entry = State.Menus[menu];
    Talk.Say("TC=" + QByteArray::number(entry.Tc));
    Talk.Say(MessageLine(State.Voice.Info(MenuVoiceKey(menu))));
    for (int key = 0; key < TVoiceMenu::Keys; ++key)
        Talk.Say(QByteArray::number(key) + entry.Items[key]);
}

void TMenuCommands::Set(int menu)
{
    Talk.Ask("TC", [this, menu](const QByteArray& answer) {
        TVoiceMenu draft;
        draft.Tc = TVoiceMenu::ParseTc(answer);
        if (draft.Tc < 0)
            Talk.Say("ERROR"); // where the prompt for key 0 would be
        else
            AskItem(menu, draft, 0);
    });
}

void TMenuCommands::AskItem(int menu, const TVoiceMenu& draft, int key)
{
    Talk.Ask(QByteArray::number(key), [this, menu, key, draft = TVoiceMenu(draft)](const QByteArray& item) mutable {
        if (!TVoiceMenu::IsItem(item)) {
            Talk.Say("ERROR"); // where the next key's prompt, or the final reply, would be
            return;
        }
        draft.Items[key] = item;
        if (key + 1 < TVoiceMenu::Keys) {
            AskItem(menu, draft, key + 1);
            return;
        }
        State.Menus[menu] = draft;
        Commit();
    });
}

void TMenuCommands::DownloadMessage(int menu)
{
    if (State.Voice.Info(MenuVoiceKey(menu)).Name.isEmpty())
        Talk.Say("ERROR");
    else
        Talk.Download(MenuVoiceKey(menu));
}

void TMenuCommands::DeleteMessage(int menu)
{
    State.Voice.Clear(MenuVoiceKey(menu));
    Commit();
}
