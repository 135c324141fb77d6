#pragma once
// The far end of the line in the settings tests: plays the unit's part of
// parameter reads and writes on a pseudo-terminal. It echoes every byte,
// answers "GET"/"SET" with the "N" prompt, a read's code with "=" value CR, a
// write's code with the "=" prompt and the value with "OK"; each answer ends
// with the menu prompt. It keeps the values written and records the command
// lines it receives. Per-code faults make it answer as a unit that refuses,
// stalls or garbles.

#include <QByteArray>
#include <QList>
#include <QMap>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

class TPtyPair;

class TScriptedUnit {
public:
    struct TFaults {
        std::optional<QByteArray> GetReply{};     // sent instead of "=" value CR LF
        std::optional<QByteArray> SetPrompt{};    // sent instead of "="
        bool EchoValue = true;                  // false: the written value is not echoed
        std::optional<QByteArray> FinalReply{};   // sent instead of "OK" CR LF
        std::optional<QByteArray> StoreInstead{}; // kept instead of the value written
    };

    explicit TScriptedUnit(TPtyPair& pty);
    ~TScriptedUnit();
    TScriptedUnit(const TScriptedUnit&) = delete;
    TScriptedUnit& operator=(const TScriptedUnit&) = delete;

    void SetValue(int code, const QByteArray& value);
    QByteArray Value(int code) const;
    void SetFaults(int code, const TFaults& faults);
    // A dead line: nothing is echoed or answered.
    void SetSilent(bool silent);

    // The command lines received so far, without their CR ("GET", "12", …).
    QList<QByteArray> Lines() const;
    void ClearLines();

    static const QByteArray MenuPrompt; // "PC SYS>"

private:
    enum class TStep { Command, GetCode, SetCode, SetValue };

    void Run();
    void Receive(char byte);
    void LineDone(const QByteArray& line);
    TFaults FaultsOf(int code) const;

    TPtyPair& m_pty;
    mutable std::mutex m_mutex;
    QMap<int, QByteArray> m_values;
    QMap<int, TFaults> m_faults;
    bool m_silent = false;
    QList<QByteArray> m_lines;
    // Owned by the unit's thread.
    TStep m_step = TStep::Command;
    int m_code = 0;
    QByteArray m_line;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
