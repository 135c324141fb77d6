#pragma once
// The ground of the settings tests: the line exchange opened on a pseudo-
// terminal whose far end plays the unit, a worker that steps jobs handed
// straight to it, and every message box recorded. The unit echoes every byte
// and answers "GET"/"SET" with "N"; a read's code with "=" value CR; a write's
// code with the "=" prompt and the value with "OK"; each answer ends with the
// menu prompt. It keeps what is written; per-code faults make it refuse,
// garble or stall.

#include "TestSupport.h"
#include "session/Comm.h"
#include "session/Server.h"

#include <QMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

struct TFaults {
    std::optional<QByteArray> GetReply{};     // instead of "=" value CR LF
    std::optional<QByteArray> SetPrompt{};    // instead of "="
    std::optional<QByteArray> FinalReply{};   // instead of "OK" CR LF
    std::optional<QByteArray> StoreInstead{}; // kept instead of the value written
    bool EchoValue = true;                    // false: the value written is not echoed
};
Q_DECLARE_METATYPE(TFaults)

using TLines = QList<QByteArray>;

class TScriptedLine {
public:
    TScriptedLine();
    ~TScriptedLine();

    void Set(int code, const QByteArray& value, const TFaults& faults = {});
    void SetSilent(bool silent);
    // The command lines the unit received since the last call, without CR.
    TLines TakeLines();

    // Steps the job from the state to its end; false when it overstays the
    // limit (generous: a run may sit out several of the unit's timeouts).
    bool Run(TJoint& job, int state, int limitMs = 60000);
    bool RunOnWorker(std::function<void()> fn);

    TRecordingSink Sink;

private:
    void Play();
    void Answer(const QByteArray& line);

    TPtyPair m_pty;
    std::mutex m_mutex; // the unit's tables, shared with the test
    QMap<int, QByteArray> m_values;
    QMap<int, TFaults> m_faults;
    TLines m_lines;
    bool m_silent = false;
    // Where the unit is in a read or write, the code written, the line so far.
    enum { Command, GetCode, SetCode, SetValue } m_step = Command;
    int m_code = 0;
    QByteArray m_line;
    std::atomic<bool> m_stop{false};
    std::thread m_unit;
    TFormComm m_comm;
    TSinkGuard m_guard{&Sink};
    std::unique_ptr<TJoint> m_call;
    TCOMServer m_server;
};
