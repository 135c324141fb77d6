#pragma once
// The unit's command dialogue: echo, wake-up and login, the menu tree from ">"
// through "PC>" to the five sub-menus, the prompts that ask for one more line,
// and the hand-over of the line to a YModem transfer and back.

#include "CommandSet.h"

#include <QByteArray>
#include <QObject>

#include <map>
#include <memory>

class TTrafficLog;
class TUnitLine;
class TUnitState;
class TScratchFolder;
class TYModemPeer;
struct TUnitFaults;

struct TDialogueSettings {
    bool CrLf;
    int TransferTimeoutMs;
    int ResultDelayMs;
    QString Peer; // who plays the unit's side of a transfer (TYModemPeer::Kinds)
};

class TUnitDialogue : public QObject, private TConversation {
    Q_OBJECT
public:
    TUnitDialogue(TUnitState& state, TUnitLine& line, TUnitFaults& faults, TTrafficLog& log,
                  const TDialogueSettings& settings);
    ~TUnitDialogue() override;

    void Receive(const QByteArray& bytes);

private:
    enum class TPhase { Asleep, Woken, Password, LoggedIn, Transfer };
    enum class TPlace { Top, Pc, Menu };

    void Take(char c);
    void LineEntered(const QByteArray& line);
    void Login(const QByteArray& password);
    void Command(const QByteArray& line);
    void EnterPc(const QByteArray& line);
    void EnterMenu(const QByteArray& line);
    void GoUp();
    void ShowPrompt();
    void LogOut();
    void Reply(const QByteArray& text) const;
    // The word fault: true when it has said its word instead of this output.
    bool SaidWordInstead();

    void Ask(const QByteArray& prompt, TAnswer answer) override;
    void Say(const QByteArray& line) override;
    void Upload(const QString& key) override;
    void Download(const QString& key) override;
    bool SystemMode() const override { return m_system; }

    void BeginTransfer(const QString& key, bool upload);
    void EndTransfer(int result);

    TUnitState& m_state;
    TUnitLine& m_line;
    TUnitFaults& m_faults;
    TTrafficLog& m_log;
    const TDialogueSettings m_settings;
    const QByteArray m_eol;

    TPhase m_phase = TPhase::Asleep;
    TPlace m_place = TPlace::Top;
    bool m_system = false;
    QByteArray m_typed;
    bool m_overlong = false;
    TAnswer m_pending;
    std::map<QByteArray, std::unique_ptr<TCommandSet>> m_menus; // by the word that enters it from "PC>"
    TCommandSet* m_menu = nullptr;

    std::unique_ptr<TScratchFolder> m_transferDir;
    std::unique_ptr<TYModemPeer> m_peer; // ends before its folder goes
    QString m_transferKey;
    bool m_upload = false;
};
