#pragma once
// Plays the unit at the far end of a pseudo-terminal for the settings jobs'
// tests. Its own thread echoes every byte (as the unit does) and answers from a
// script: each rule waits until its request has arrived since the previous
// rule fired, then writes its reply. A rule can stop the echo, so that a
// missing echo can be tested. TJobRunner steps jobs on a line to any device;
// TJobRig is one on a line to the scripted unit.

#include "TestSupport.h"
#include "session/Comm.h"
#include "session/Server.h"

#include <QByteArray>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace TestSupport {

class TScriptedUnit {
public:
    explicit TScriptedUnit(TPtyPair& pty);
    ~TScriptedUnit();
    TScriptedUnit(const TScriptedUnit&) = delete;
    TScriptedUnit& operator=(const TScriptedUnit&) = delete;

    // When request has arrived, send reply; from then on echo as echoAfter says.
    void On(const QByteArray& request, const QByteArray& reply, bool echoAfter = true);
    // Sends bytes now, unasked (the unit's report after a transfer).
    void Send(const QByteArray& bytes);
    void SetEcho(bool echo);
    // Everything the program sent since the last ClearReceived.
    QByteArray Received() const;
    void ClearReceived();
    // Rules that have not fired yet.
    int Pending() const;

private:
    struct TRule {
        QByteArray Request;
        QByteArray Reply;
        bool EchoAfter;
    };
    void Run();
    void Take(const char* bytes, int count);

    TPtyPair& m_pty;
    mutable std::mutex m_mutex;
    std::deque<TRule> m_rules;
    QByteArray m_unanswered; // received since the last rule fired
    QByteArray m_received;
    bool m_echo = true;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The one TFormComm with its line opened on a device, a worker to step jobs,
// and a sink that records every box and answers confirmations.
class TJobRunner {
public:
    explicit TJobRunner(const QString& device);
    ~TJobRunner();

    // Hands the job to the worker in the given state; true once it is done.
    bool Run(TJoint& job, int state, int timeoutMs = 30000);

    TRecordingSink Sink;
    TSinkGuard Guard{&Sink};
    TFormComm Comm;

private:
    std::unique_ptr<TCOMServer> m_server = std::make_unique<TCOMServer>();
};

// A runner whose line leads to the scripted unit.
class TJobRig {
public:
    bool Run(TJoint& job, int state, int timeoutMs = 30000) { return Runner.Run(job, state, timeoutMs); }

    TPtyPair Pty;
    TScriptedUnit Unit{Pty};
    TJobRunner Runner{Pty.SlavePath()};
    TRecordingSink& Sink = Runner.Sink;
};

} // namespace TestSupport
