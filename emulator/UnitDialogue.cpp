#include "UnitDialogue.h"

#include "ListCommands.h"
#include "MailCommands.h"
#include "MenuCommands.h"
#include "ScratchFolder.h"
#include "SysCommands.h"
#include "TimeCommands.h"
#include "TrafficLog.h"
#include "UnitFaults.h"
#include "UnitLine.h"
#include "UnitState.h"
#include "UnitText.h"
#include "YModemPeer.h"

namespace {

constexpr char Cancel = 0x18;
constexpr qsizetype MaxLine = 128; // longer lines are echoed but refused
const QByteArray Garbage("\x00\xff\x7f", 3); // line noise: none of it the program waits for

} // namespace

TUnitDialogue::TUnitDialogue(TUnitState& state, TUnitLine& line, TUnitFaults& faults, TTrafficLog& log,
                             const TDialogueSettings& settings)
    : m_state(state), m_line(line), m_faults(faults), m_log(log), m_settings(settings),
      m_eol(settings.CrLf ? "\r\n" : "\r"), m_peer(TYModemPeer::Create(settings.Peer, log, settings.TransferTimeoutMs))
{
    TConversation& talk = *this;
    m_menus["SYS"] = std::make_unique<TSysCommands>(talk, state);
    m_menus["LIST"] = std::make_unique<TListCommands>(talk, state);
    m_menus["MAIL"] = std::make_unique<TMailCommands>(talk, state);
    m_menus["MENU"] = std::make_unique<TMenuCommands>(talk, state);
    m_menus["TIME"] = std::make_unique<TTimeCommands>(talk, state);
    connect(m_peer.get(), &TYModemPeer::ToLine, &m_line, &TUnitLine::Data);
    // Queued: a transfer that cannot even start must still end after the
    // command that began it has finished.
    connect(m_peer.get(), &TYModemPeer::Finished, this, &TUnitDialogue::EndTransfer, Qt::QueuedConnection);
}

TUnitDialogue::~TUnitDialogue() = default;

void TUnitDialogue::Receive(const QByteArray& bytes)
{
    if (m_faults.Silent) {
        m_log.Note(QStringLiteral("silent: input ignored"));
        return;
    }
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (m_phase == TPhase::Transfer) {
            m_peer->FromLine(bytes.mid(i));
            return;
        }
        Take(bytes[i]);
    }
}

void TUnitDialogue::Take(char c)
{
    if (c == '\r') {
        m_line.Echo(m_eol);
        const QByteArray line = m_typed;
        m_typed.clear();
        LineEntered(line);
        m_overlong = false;
        return;
    }
    if (c == Cancel) {
        m_line.Echo(QByteArray(1, c));
        LogOut();
        return;
    }
    if (c == '\b' || c == 0x7F) { // a person at a terminal correcting a typo
        if (!m_typed.isEmpty()) {
            m_typed.chop(1);
            m_line.Echo("\b \b");
        }
        return;
    }
    m_line.Echo(QByteArray(1, c));
    if (c == '\n')
        return;
    if (m_typed.size() < MaxLine)
        m_typed += c;
    else
        m_overlong = true;
}

void TUnitDialogue::LineEntered(const QByteArray& line)
{
    switch (m_phase) {
    case TPhase::Asleep:
        if (IsAccessWord(line))
            m_phase = TPhase::Woken;
        return;
    case TPhase::Woken:
        // After the access word the unit asks for the password at the next
        // carriage return.
        if (line.isEmpty()) {
            m_phase = TPhase::Password;
            Reply("Password:");
        } else if (!IsAccessWord(line)) {
            m_phase = TPhase::Asleep;
        }
        return;
    case TPhase::Password:
        if (line.isEmpty())
            Reply("Password:");
        else
            Login(line);
        return;
    case TPhase::LoggedIn:
        break;
    case TPhase::Transfer:
        return;
    }
    if (m_overlong) {
        m_pending = nullptr;
        Say("ERROR");
    } else if (m_pending) {
        const TAnswer answer = std::exchange(m_pending, nullptr);
        answer(line);
    } else {
        Command(line);
    }
    if (m_phase == TPhase::LoggedIn && !m_pending)
        ShowPrompt();
}

void TUnitDialogue::Login(const QByteArray& password)
{
    if (m_faults.Busy) {
        Say("BUSY");
        return;
    }
    if (m_overlong || (password != m_state.Param(0) && password != m_state.Param(104))) {
        // The unit stays at its password question; a carriage return shows it again.
        Say("ERROR");
        return;
    }
    m_system = password == m_state.Param(0);
    Say(m_system ? "SYSTEM_MODE" : "ADMIN_MODE");
    m_phase = TPhase::LoggedIn;
    m_place = TPlace::Top;
    ShowPrompt();
}

void TUnitDialogue::Command(const QByteArray& line)
{
    if (line.isEmpty())
        GoUp();
    else if (m_faults.Refused.contains(line))
        Say("ERROR");
    else if (IsAccessWord(line))
        Say("OK");
    else if (m_place == TPlace::Top)
        EnterPc(line);
    else if (m_place == TPlace::Pc)
        EnterMenu(line);
    else if (!m_menu->Run(line))
        Say("ERROR");
}

void TUnitDialogue::EnterPc(const QByteArray& line)
{
    if (line == "PC")
        m_place = TPlace::Pc;
    else
        Say("ERROR");
}

void TUnitDialogue::EnterMenu(const QByteArray& line)
{
    const auto menu = m_menus.find(line);
    if (menu == m_menus.end()) {
        Say("ERROR");
        return;
    }
    m_menu = menu->second.get();
    m_place = TPlace::Menu;
}

void TUnitDialogue::GoUp()
{
    if (m_place == TPlace::Menu)
        m_place = TPlace::Pc;
    else
        m_place = TPlace::Top;
}

void TUnitDialogue::ShowPrompt()
{
    switch (m_place) {
    case TPlace::Top:
        Reply(">");
        break;
    case TPlace::Pc:
        Reply("PC>");
        break;
    case TPlace::Menu:
        Reply(m_menu->Prompt());
        break;
    }
}

void TUnitDialogue::LogOut()
{
    m_phase = TPhase::Asleep;
    m_pending = nullptr;
    m_typed.clear();
    m_overlong = false;
}

void TUnitDialogue::Reply(const QByteArray& text) const
{
    m_line.Reply(text);
}

bool TUnitDialogue::SaidWordInstead()
{
    if (m_faults.Word.isEmpty())
        return false;
    if (m_faults.WordSkip > 0) {
        --m_faults.WordSkip;
        return false;
    }
    Reply(std::exchange(m_faults.Word, QByteArray()) + m_eol);
    return true;
}

// A question replaced by the word fault is not asked: the command ends there.
void TUnitDialogue::Ask(const QByteArray& prompt, TAnswer answer)
{
    if (SaidWordInstead())
        return;
    m_pending = std::move(answer);
    Reply(prompt);
}

void TUnitDialogue::Say(const QByteArray& line)
{
    if (SaidWordInstead())
        return;
    Reply((m_faults.Garbage ? Garbage : QByteArray()) + line + m_eol);
}

void TUnitDialogue::Upload(const QString& key)
{
    // Received into a folder of its own inside the voice folder, so that the
    // file is moved into place, not copied, and a failed transfer leaves nothing.
    m_transferDir = std::make_unique<TScratchFolder>(m_state.Voice.Folder());
    if (m_transferDir->Path().isEmpty()) {
        m_log.Note(QStringLiteral("transfer: cannot create a folder in ") + m_state.Voice.Folder());
        m_transferDir.reset();
        Say("ERROR");
        return;
    }
    BeginTransfer(key, true);
    m_peer->Receive(m_transferDir->Path());
}

void TUnitDialogue::Download(const QString& key)
{
    Say("START");
    BeginTransfer(key, false);
    m_peer->Send(m_state.Voice.PlaceOf(key));
}

void TUnitDialogue::BeginTransfer(const QString& key, bool upload)
{
    m_transferKey = key;
    m_upload = upload;
    m_phase = TPhase::Transfer;
}

void TUnitDialogue::EndTransfer(int result)
{
    if (m_phase != TPhase::Transfer)
        return;
    if (m_faults.NextYModemError != 0) {
        result = std::exchange(m_faults.NextYModemError, 0);
    } else if (result == TYModemPeer::Ok && m_upload) {
        QString error;
        if (!m_state.Voice.Adopt(m_transferKey, m_transferDir->Path(), error)) {
            m_log.Note(QStringLiteral("transfer: ") + error);
            result = TYModemPeer::NotStored;
        }
    }
    m_transferDir.reset();
    m_phase = TPhase::LoggedIn;
    const QByteArray outcome = result == TYModemPeer::Ok ? QByteArray("OK")
                                                         : "YMODEM_ERR(" + QByteArray::number(result) + ')';
    // The pause lets the program finish its side of the transfer (and clear
    // its input) before the result line arrives.
    m_line.Reply("TRANSFER_RESULT:" + outcome + m_eol, m_settings.ResultDelayMs);
    ShowPrompt();
}
