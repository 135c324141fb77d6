#pragma once
// The emulated unit as a whole: its line, its memory, its dialogue, and the
// control channel and signals that steer it from outside.

#include "ControlChannel.h"
#include "SignalWatch.h"
#include "TrafficLog.h"
#include "UnitDialogue.h"
#include "UnitLine.h"
#include "UnitOptions.h"
#include "UnitState.h"

#include <QObject>

#include <memory>

class TUnit : public QObject {
    Q_OBJECT
public:
    explicit TUnit(const TUnitOptions& options);
    ~TUnit() override;

    // Opens the line (printing a pseudo-terminal's path on standard output)
    // and starts listening. The event loop then runs the unit until it is told to stop.
    bool Start(QString& error);

signals:
    // The unit's time is up: 0 when it was told to stop, 1 when its line was lost.
    void Stopped(int exitCode);

private:
    bool ApplyPasswords(QString& error);
    QByteArray Counts() const;
    void ReportCounts();

    const TUnitOptions m_options;
    TUnitFaults m_faults;
    TTrafficLog m_log;
    TUnitState m_state;
    TUnitLine m_line;
    TSignalWatch m_signals;
    std::unique_ptr<TUnitDialogue> m_dialogue;
    std::unique_ptr<TControlChannel> m_control;
};
