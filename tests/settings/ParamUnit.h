#pragma once
// Plays the unit's numbered parameters at the far end of a pseudo-terminal,
// for the single-setting tests. Its own thread echoes every byte and answers
// "GET"/"SET" with "N"; a read's code with "=" value CR; a write's code with
// the "=" prompt and the value with "OK"; each answer ends with the menu
// prompt. It keeps what is written; per-code faults make it refuse, garble or
// stall. TParamRig puts it behind a TJobRunner.

#include "ScriptedUnit.h"

#include <QMap>

#include <functional>
#include <optional>
#include <vector>

namespace TestSupport {

struct TFaults {
    std::optional<QByteArray> GetReply{};     // instead of "=" value CR LF
    std::optional<QByteArray> SetPrompt{};    // instead of "="
    std::optional<QByteArray> FinalReply{};   // instead of "OK" CR LF
    std::optional<QByteArray> StoreInstead{}; // kept instead of the value written
    bool EchoValue = true;                    // false: the value written is not echoed
};

using TLines = QList<QByteArray>;

class TParamUnit {
public:
    explicit TParamUnit(TPtyPair& pty);
    ~TParamUnit();
    TParamUnit(const TParamUnit&) = delete;
    TParamUnit& operator=(const TParamUnit&) = delete;

    void Set(int code, const QByteArray& value, const TFaults& faults = {});
    // A dead line: nothing is echoed or answered.
    void SetSilent(bool silent);
    // The command lines received since the last call, without their CR.
    TLines TakeLines();

private:
    void Play();
    void Answer(const QByteArray& line);

    TPtyPair& m_pty;
    std::mutex m_mutex; // everything below, shared with the test
    QMap<int, QByteArray> m_values;
    QMap<int, TFaults> m_faults;
    TLines m_lines;
    bool m_silent = false;
    // Where the unit is in a read or write, the code written, the line so far.
    enum { Command, GetCode, SetCode, SetValue } m_step = Command;
    int m_code = 0;
    QByteArray m_line;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class TParamRig {
public:
    // Generous limits: a run may sit out several of the unit's timeouts.
    bool Run(TJoint& job, int state, int timeoutMs = 60000) { return Runner.Run(job, state, timeoutMs); }
    // Runs fn on the worker, where the exchanges must run.
    bool RunOnWorker(std::function<void()> fn);

    TPtyPair Pty;
    TParamUnit Unit{Pty};

private:
    std::vector<std::unique_ptr<TJoint>> m_calls; // outlive a run that overstayed its limit

public:
    TJobRunner Runner{Pty.SlavePath()};
    TRecordingSink& Sink = Runner.Sink;
};

} // namespace TestSupport

Q_DECLARE_METATYPE(TestSupport::TFaults)
