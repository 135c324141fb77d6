#include "AAMenu.h"

#include "Comm.h"
#include "MessageSink.h"
#include "UnitDialog.h"
#include "serial/SpDeviceNames.h"
#include "serial/SpSync.h"

namespace {

// Waits of the login and navigation, in ms.
constexpr int WakeWaitMs = 1000;
constexpr int WakeAttempts = 3;
constexpr int PasswordWaitMs = 2000;
constexpr int NavigateWaitMs = 2000;
constexpr int LeaveWaitMs = 200;
// One re-login per hand-over; a second mismatch ends the connection.
constexpr int MaxRelogins = 1;

TSpComm& Port()
{
    return FormComm()->SpComm1;
}

// A device the user may not open: on Linux serial devices belong to the group
// dialout, and a new membership counts only from the next login.
QString AccessDeniedText(const QString& device, const QString& systemText)
{
    return QStringLiteral("Нет доступа к порту %1: войдите в группу dialout (sudo adduser $USER dialout) "
                          "и войдите в систему заново.\n%2")
        .arg(device, systemText);
}

// Said under "Устройство не обнаружено." when the connection to a serial
// device server ended before the unit answered: a server that serves one
// client at a time turns the next one away so, with or without a word.
QString LineEndText(const QString& address, const TSpLineEnd& end)
{
    switch (end.Kind) {
    case TSpLineEnd::None:
        return {};
    case TSpLineEnd::Failed:
        // Windows' reasons end with their own full stop.
        return QStringLiteral("Соединение с %1 прервано: %2").arg(address, end.Words)
            + (end.Words.endsWith(u'.') ? QString() : QStringLiteral("."));
    case TSpLineEnd::Closed:
        break;
    }
    const QString what = end.Words.isEmpty()
        ? QStringLiteral("Сервер %1 закрыл соединение.").arg(address)
        : QStringLiteral("Сервер %1 отказал в соединении: \"%2\".").arg(address, end.Words);
    return what + QStringLiteral("\nЕсли к нему уже подключена другая программа, закройте ее и повторите.");
}

QString ErrorText(int state)
{
    switch (state) {
    case TAAMenu::stNoEcho: return QStringLiteral("Device does not respond (no echo)");
    case TAAMenu::stNoPrompt: return QStringLiteral("Device did not prompt: Password");
    case TAAMenu::stNoPasswordAnswer: return QStringLiteral("Device does no respond on password input");
    case TAAMenu::stUnknownAnswer: return QStringLiteral("Unknown response on password input");
    case TAAMenu::stNotLoggedIn: return QStringLiteral("Probably incorrect entering AAMenu");
    case TAAMenu::stPromptMismatch: return QStringLiteral("Probably incorrect finishing the previous command");
    case TAAMenu::stNavigationFailed: return QStringLiteral("Error navigating menu");
    case TAAMenu::stWrongMenu: return QStringLiteral("Wrong menu passage");
    default: return QStringLiteral("AAMenu: invalid action:") + QString::number(state);
    }
}

} // namespace

TAAMenu::TAAMenu(TCOMServer& server) : m_server(server) {}

bool TAAMenu::BeginHandOver()
{
    if (ApplicationTerminating())
        return false;
    m_server.WaitIdle();
    m_server.IdleEvent.Reset();
    return true;
}

void TAAMenu::Submit(TJoint1* job)
{
    if (!BeginHandOver())
        return;
    PendingJob = job;
    m_relogins = 0;
    // A line that went away (adapter unplugged, unit switched off) is opened
    // afresh: the user hears once that the port is gone, or the session logs
    // in again when it is back, instead of every job timing out on it.
    if (UnitMode != Unit::umUndefined && FormComm() && FormComm()->LineLost()) {
        Port().Close();
        UnitMode = Unit::umUndefined;
    }
    if (job->Mode == Unit::umUndefined) {
        ErrorBox(QStringLiteral("Menu mode is Undefined"));
        m_server.IdleEvent.Set();
        return;
    }
    if (job->Mode == UnitMode) {
        m_server.Start(job);
        return;
    }
    State = stBegin;
    m_server.Start(this);
}

void TAAMenu::Disconnect()
{
    if (!BeginHandOver())
        return;
    State = stClose;
    m_server.Start(this);
}

bool TAAMenu::NeedsMainThread()
{
    switch (State) {
    case stBegin:
    case stSendPassword:
    case stNavigate:
    case stOpen:
    case stWake:
    case stClose:
        return false;
    default:
        return true;
    }
}

bool TAAMenu::Process()
{
    switch (State) {
    case stIdle: return true;
    case stBegin:
        if (UnitMode <= 1)
            State = stConnecting;
        else
            State = UnitMode == Unit::umPortOpen ? stWake : stNavigate;
        return false;
    case stConnecting: ChangeLevel(lvConnecting, stOpen); return false;
    case stOpen: OpenPort(); return false;
    case stWake: WakeUnit(); return false;
    case stReport: ReportConnect(); return false;
    case stPassword: AskPassword(); return false;
    case stSendPassword: SendPassword(); return false;
    case stWrongPassword: Refused(QStringLiteral("Неверный пароль! Повторите ввод.")); return false;
    case stUnitBusy:
        Refused(QStringLiteral("Устройство занято!\r Дождитесь освобождения всех линий и повторите ввод."));
        return false;
    case stAdmin: ChangeLevel(lvAdmin, stNavigate); return false;
    case stSystem: ChangeLevel(lvSystem, stNavigate); return false;
    case stNavigate: Navigate(); return false;
    case stClose: ClosePort(); return false;
    case stClosed: ChangeLevel(lvOff, stClosed); return true;
    default: Failed(State); return false;
    }
}

void TAAMenu::ChangeLevel(uint8_t level, int next)
{
    Level = level;
    if (OnLevelChanged)
        OnLevelChanged(level);
    State = next;
}

void TAAMenu::OpenPort()
{
    spSynchronize([this] { ChangeLevel(lvConnecting, stOpen); });
    Port().SetPortNum(PortNumber);
    m_openHint.clear();
    try {
        Port().Open();
        State = stWake;
        return;
    } catch (const ESpCommError& e) {
        m_openHint = e.Failure() == TSpFailure::AccessDenied
            ? AccessDeniedText(spResolveDevice(Port().FormattedName()), e.Message())
            : e.Message();
    } catch (const std::exception& e) {
        m_openHint = QString::fromUtf8(e.what());
    }
    // Whatever the reason, the user is told the port could not be opened.
    ConnectError = cePortFailed;
    State = stReport;
}

void TAAMenu::WakeUnit()
{
    for (int i = 0; i < Unit::WakeCancelCount; ++i)
        FormComm()->SendChar(uint8_t(Unit::WakeCancel.at(0)));
    for (int i = 0; i < Unit::WakeReturnCount; ++i)
        FormComm()->SendChar(uint8_t(Unit::WakeReturn.at(0)));
    FormComm()->SendAndWaitEcho(Unit::AccessWord, WakeWaitMs);

    const bool relogin = UnitMode == Unit::umPortOpen;
    for (int attempt = 0; attempt < WakeAttempts; ++attempt) {
        const bool last = attempt == WakeAttempts - 1;
        if (FormComm()->SendAndWaitEcho(Unit::Return, WakeWaitMs) != wrFound) {
            if (last)
                return WakeFailed(relogin ? stNoEcho : stReport, ceNoEcho);
            continue;
        }
        if (FormComm()->WaitForText(Unit::PasswordPrompt, WakeWaitMs) == wrFound)
            break;
        if (last)
            return WakeFailed(relogin ? stNoPrompt : stReport, ceNoPrompt);
    }
    if (relogin) {
        UnitMode = Unit::umPassword;
        State = stPassword;
    } else {
        ConnectError = ceNone;
        State = stReport;
    }
}

void TAAMenu::WakeFailed(int state, int error)
{
    if (state == stReport) // a re-login reports by its own error state
        ConnectError = error;
    State = state;
}

void TAAMenu::ReportConnect()
{
    if (ConnectError == ceNone) {
        UnitMode = Unit::umPassword;
        State = stPassword;
        return;
    }
    const QString reason = ConnectError == cePortFailed ? QStringLiteral("Не удалось открыть порт.")
                                                        : QStringLiteral("Устройство не обнаружено.");
    const QString port = PortLabel.isEmpty() ? QStringLiteral("COM") + QString::number(PortNumber) : PortLabel;
    const QString hint = ConnectError == cePortFailed
        ? m_openHint
        : LineEndText(spResolveDevice(Port().FormattedName()), Port().LineEnd());
    QString text = port + QStringLiteral(": ") + reason;
    if (!hint.isEmpty())
        text += u'\n' + hint;
    ErrorBox(text);
    if (Port().IsOpen())
        Port().Close();
    UnitMode = Unit::umUndefined;
    ChangeLevel(lvOff, stIdle);
}

void TAAMenu::AskPassword()
{
    if (!Password.isEmpty()) {
        State = stSendPassword;
        return;
    }
    QString typed;
    switch (PasswordBox(typed)) {
    case TPasswordAnswer::Entered:
        // An emptied edit is no password at all (empty means "ask"); the unit
        // would only ask again and the login would fail as unanswered.
        if (typed.isEmpty())
            break;
        Password = typed;
        State = stSendPassword;
        break;
    case TPasswordAnswer::Untouched:
        break; // asked again at the next step
    case TPasswordAnswer::Cancelled:
        State = stClose;
        break;
    }
}

void TAAMenu::SendPassword()
{
    FormComm()->SendSecret(Unit::ToUnit(Password));
    QByteArray line = Unit::LineEnd;
    if (FormComm()->SendAndWaitEcho(Unit::Return, PasswordWaitMs) != wrFound
        || FormComm()->ReadThrough(line, PasswordWaitMs) != wrFound) {
        State = stNoPasswordAnswer;
        return;
    }
    line.chop(Unit::LineEnd.size());
    if (line == Unit::Error) {
        // The unit shows its password question again after one more return.
        FormComm()->SendAndWaitEcho(Unit::Return, PasswordWaitMs);
        UnitMode = Unit::umPortOpen;
        State = stWrongPassword;
    } else if (line == Unit::Busy) {
        UnitMode = Unit::umPortOpen;
        State = stUnitBusy;
    } else if (line == Unit::AdminMode || line == Unit::SystemMode) {
        UnitMode = Unit::umTop;
        State = line == Unit::AdminMode ? stAdmin : stSystem;
    } else {
        State = stUnknownAnswer;
    }
}

void TAAMenu::Refused(const QString& warning)
{
    WarningBox(warning);
    Password.clear();
    UnitMode = Unit::umPortOpen;
    State = stPassword;
}

bool TAAMenu::ReadPrompt(const QByteArray& expected)
{
    QByteArray text = Unit::MenuEnd;
    if (FormComm()->ReadThrough(text, NavigateWaitMs) != wrFound || text != expected) {
        State = stPromptMismatch;
        return false;
    }
    return true;
}

bool TAAMenu::ReadMenuPrompt(const Unit::TUnitMenu& menu)
{
    QByteArray text = Unit::MenuEnd;
    if (FormComm()->ReadThrough(text, NavigateWaitMs) != wrFound) {
        State = stPromptMismatch;
        return false;
    }
    if (text == menu.Prompt)
        return true;
    // A refusal is the unit's answer, not a dialogue out of step: logging in
    // again would only hear it again. The unit stays at "PC>", already read.
    const qsizetype end = text.indexOf(Unit::LineEnd);
    const QByteArray word = text.left(end);
    if (end > 0 && Unit::IsRefusal(word) && text.mid(end + 1) == Unit::Menu(Unit::umPC)->Prompt) {
        m_refusal = QStringLiteral("AAMenu (%1): Reply: %2")
                        .arg(QString::fromLatin1(menu.Enter.chopped(Unit::LineEnd.size())), QString::fromLatin1(word));
        m_handedOverAt = FormComm()->SendCount();
        State = stMenuRefused;
    } else {
        State = stPromptMismatch;
    }
    return false;
}

bool TAAMenu::SendCommand(const QByteArray& command)
{
    if (FormComm()->SendAndWaitEcho(command, NavigateWaitMs) != wrFound) {
        State = stNavigationFailed;
        return false;
    }
    return true;
}

void TAAMenu::Navigate()
{
    if (UnitMode < Unit::umTop) {
        State = stNotLoggedIn;
        return;
    }
    if (!AtPromptAlreadyRead() && !ReadPrompt(Unit::Menu(UnitMode)->Prompt))
        return;
    if (UnitMode != Unit::umPC) {
        const QByteArray& up = UnitMode == Unit::umTop ? Unit::EnterPC : Unit::Return;
        if (!SendCommand(up) || !ReadPrompt(Unit::Menu(Unit::umPC)->Prompt))
            return;
    }
    UnitMode = Unit::umPC;

    const Unit::TUnitMenu* target = PendingJob ? Unit::Menu(PendingJob->Mode) : nullptr;
    if (!target || target->Mode < Unit::umSys) {
        State = stWrongMenu;
        return;
    }
    if (!SendCommand(target->Enter) || !ReadMenuPrompt(*target))
        return;
    UnitMode = target->Mode;
    m_handedOverAt = FormComm()->SendCount();
    m_server.SetJob(PendingJob);
}

bool TAAMenu::AtPromptAlreadyRead() const
{
    return m_handedOverAt == FormComm()->SendCount();
}

void TAAMenu::ClosePort()
{
    if (Port().IsOpen()) {
        FormComm()->SendAndWaitEcho(Unit::Leave, LeaveWaitMs);
        Port().Close();
    }
    UnitMode = Unit::umUndefined;
    State = stClosed;
}

void TAAMenu::Failed(int state)
{
    if (state == stMenuRefused) {
        ErrorBox(m_refusal);
        State = stIdle; // the job is not run; the session stays where it is
        return;
    }
    ErrorBox(ErrorText(state));
    if (state == stPromptMismatch && m_relogins < MaxRelogins) {
        ++m_relogins;
        UnitMode = Unit::umPortOpen;
        State = stBegin;
        return;
    }
    State = stClose;
}
