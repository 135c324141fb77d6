#pragma once
// The ground of every settings test: the line exchange opened on a
// pseudo-terminal with the scripted unit at its far end, a worker that steps
// jobs handed straight to it, and every message box recorded.

#include "ScriptedUnit.h"
#include "TestSupport.h"
#include "session/Comm.h"
#include "session/Server.h"

#include <functional>
#include <memory>

class TLineFixture {
public:
    TLineFixture();

    // Steps the job from the given state to its end; false when it did not end
    // within the limit (generous: a run may sit out several of the unit's timeouts).
    bool Run(TJoint& job, int state, int limitMs = 60000);
    // Runs fn on the worker, where the exchanges must run.
    bool RunOnWorker(std::function<void()> fn, int limitMs = 60000);

    // Declared in the order they are needed; the worker goes before the
    // line, the line before the unit.
    TPtyPair Pty;
    TScriptedUnit Unit{Pty};
    TFormComm Comm;
    TRecordingSink Sink;

private:
    TSinkGuard m_guard{&Sink};
    std::unique_ptr<TJoint> m_call; // outlives a run that overstayed its limit

public:
    TCOMServer Server;
};
