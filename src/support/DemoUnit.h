#pragma once
// The demo mode's unit: the emulated unit (parlotel-unit) on a pseudo-terminal
// (on Windows on a port of the loopback, see DemoLine.h), started with the
// program and stopped with it. Its state lives in a folder of
// the user's own, so that what is changed in the demo is there next time; a
// reset starts again from the factory state. The unit also ends by itself when
// the program dies, since it runs only while its standard input is open.

#include "ChildProcess.h"

#include <QString>

class TDemoUnit {
public:
    TDemoUnit() = default;
    ~TDemoUnit();
    TDemoUnit(const TDemoUnit&) = delete;
    TDemoUnit& operator=(const TDemoUnit&) = delete;

    // parlotel-unit beside the program, else in the build tree's emulator
    // folder, else on PATH; empty when there is none.
    static QString FindExecutable(const QString& programFolder);

    // Output pace in bit/s: the real line's, or as fast as the pseudo-terminal goes.
    static constexpr int LinePace = 19200;
    static constexpr int Unpaced = 0;

    // Starts the unit with its state in folder (reset: factory state first),
    // paced at baud. False with ErrorText() when it did not start.
    bool Start(const QString& executable, const QString& folder, bool reset, int baud = LinePace);
    // What the program opens: the unit's pseudo-terminal, or its tcp:// address.
    QString Device() const { return m_device; }
    QString ErrorText() const { return m_error; }
    qint64 ProcessId() const { return m_process.Pid(); }
    // Ends the unit and waits for it.
    void Stop();

private:
    bool Fail(const QString& text);

    TChildProcess m_process;
    QString m_device;
    QString m_error;
};
