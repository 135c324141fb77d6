#pragma once
// Helpers of the fault matrix, on top of the window rig: the unit killed at a
// chosen moment of the dialogue (a tap on the line sees the program's bytes
// just before they leave), the unit started again on a new line with the same
// stored state, and the check that the program is still usable afterwards.

#include "WindowRig.h"
#include "session/Comm.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>

namespace TestSupport {

// Kills the unit the count-th time the program sends bytes that contain trigger.
class TKillOnSend : public TLineTap {
public:
    TKillOnSend(qint64 pid, const QByteArray& trigger, int count = 1);
    ~TKillOnSend() override;
    void Sent(const QByteArray& bytes) override;
    void Received(const QByteArray&) override {}
    bool Fired() const { return m_fired.load(); }

private:
    const qint64 m_pid;
    const QByteArray m_trigger;
    std::atomic<int> m_left;
    std::atomic<bool> m_fired{false};
};

// A rig whose unit keeps its state in a file, so that a unit started again
// after a fault holds what the first one stored.
class TFaultRig : public TWindowRig {
public:
    explicit TFaultRig(const QStringList& unitArgs = {});
    ~TFaultRig();
    QString StateFile() const { return m_folder + QStringLiteral("/unit.json"); }
    // Kills the unit (the line goes dead) and waits until the program has seen it.
    bool KillUnit();
    // A new unit on a new line, same state file; the port now leads there.
    bool RestartUnit(const QStringList& unitArgs = {});
    // A fresh connect with the system password and its read of the numbers
    // page work, without any message.
    bool StaysUsable();
    // The error box of a connect whose unit's line has gone.
    QString PortGone() const;
    // Sends a control line to the unit; true when it took it.
    bool Fault(const QByteArray& line);

private:
    TFaultRig(const QString& folder, const QStringList& unitArgs);
    const QString m_folder;
};

// The text of a reply line as a message box shows it.
QString UnitText(const QByteArray& bytes);

} // namespace TestSupport
