#pragma once
// "PC MENU>": voice menus 0-19 and greetings 20-22: read, write key by key,
// and their recordings: upload, download, delete.

#include "CommandSet.h"
#include "VoiceMenu.h"

class TMenuCommands : public TCommandSet {
public:
    using TCommandSet::TCommandSet;
    QByteArray Prompt() const override { return "PC MENU>"; }
    bool Run(const QByteArray& command) override;

private:
    // Runs then for a menu code the unit has; any other code is refused.
    void AskMenu(const std::function<void(int menu)>& then);
    void Get(int menu);
    void Set(int menu);
    // Asks key's digit for its item; a wrong item ends the write, nothing stored.
    void AskItem(int menu, const TVoiceMenu& draft, int key);
    void DownloadMessage(int menu);
    void DeleteMessage(int menu);
};
