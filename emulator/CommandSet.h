#pragma once
// A sub-menu of the unit ("PC SYS>", "PC LIST>", ...): its prompt and the
// commands typed at it. Commands talk back through the conversation, which
// owns the line: they say reply lines, ask for the next line behind a prompt,
// or hand the line over to a file transfer.

#include <QByteArray>
#include <QString>

#include <functional>

class TUnitState;
struct TVoiceFile;

class TConversation {
public:
    using TAnswer = std::function<void(const QByteArray& answer)>;
    virtual ~TConversation() = default;
    // Shows prompt; the next line typed goes to answer instead of the menu.
    virtual void Ask(const QByteArray& prompt, TAnswer answer) = 0;
    // One reply line; the line end is added.
    virtual void Say(const QByteArray& line) = 0;
    // Receives a recording for key by YModem, then reports the result.
    virtual void Upload(const QString& key) = 0;
    // Says "START", sends key's recording by YModem, then reports the result.
    virtual void Download(const QString& key) = 0;
    virtual bool SystemMode() const = 0;
};

class TCommandSet {
public:
    TCommandSet(TConversation& talk, TUnitState& state) : Talk(talk), State(state) {}
    virtual ~TCommandSet() = default;
    TCommandSet(const TCommandSet&) = delete;
    TCommandSet& operator=(const TCommandSet&) = delete;

    virtual QByteArray Prompt() const = 0;
    // Runs a command typed at the prompt; false when the menu has no such command.
    virtual bool Run(const QByteArray& command) = 0;

protected:
    // Asks "N" for a code; a code that is not a number is refused with "ERROR".
    void AskCode(const std::function<void(int code)>& then);
    void SayResult(bool ok) { Talk.Say(ok ? "OK" : "ERROR"); }
    // Writes the state down after a change and says "OK".
    void Commit();
    // "MSG=" name " " length, or "MSG=" alone when nothing is recorded.
    static QByteArray MessageLine(const TVoiceFile& file);

    TConversation& Talk;
    TUnitState& State;
};
