#pragma once
// What the window benchmarks start from: a configuration folder of their own,
// the emulated unit in it, the window with its line exchange pointed at the
// unit's device, and the sink that logs in and counts every other box.

#include "BenchUnit.h"

#include <QTemporaryDir>

#include <memory>

class TForm1;
class TFormComm;

class TBenchWindow {
public:
    TBenchWindow();
    ~TBenchWindow();
    // False, with a line on standard error naming the benchmark, when the unit
    // did not start.
    bool Start(const char* bench, int bitRate);
    TForm1& Window() { return *m_window; }

    QTemporaryDir Folder;
    TBenchUnit Unit;
    TBenchSink Sink;

private:
    std::unique_ptr<TForm1> m_window;
    std::unique_ptr<TFormComm> m_comm;
};
