// How close to the line's own pace the program works: against the emulated
// unit paced at 19200 bit/s, the time from "Подключиться" to the firmware
// version shown, and the time to read the 38 system parameters one job after
// another, each divided by the time the unit's own output takes on the line
// (bytes it sent × 10 / 19200). Meanwhile a 10 ms timer checks that the main
// thread stays responsive (longest gap between two of its runs).
//   build/bench/connect/bench_connect [rounds]      (runs offscreen)
#include "BenchWindow.h"
#include "session/AAMenu.h"
#include "settings/ChoiceJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/NumberJobs.h"
#include "window/Unit1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int BitRate = 19200;

// Longest gap between two runs of a 10 ms timer while it is armed.
class TGapMeter {
public:
    TGapMeter()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.restart());
        });
    }
    void Start()
    {
        m_longest = 0;
        m_clock.start();
        m_timer.start(10);
    }
    qint64 Stop()
    {
        m_timer.stop();
        return std::max(m_longest, m_clock.elapsed());
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

enum class TKind { Directory, Choice2, Choice3, Number };

// The 38 system parameters by code and kind.
const std::pair<int, TKind> SysParams[] = {
    {0, TKind::Directory}, {1, TKind::Choice3}, {10, TKind::Choice2}, {11, TKind::Choice2}, {12, TKind::Number},
    {13, TKind::Number}, {14, TKind::Number}, {15, TKind::Number}, {16, TKind::Number}, {17, TKind::Number},
    {18, TKind::Number}, {20, TKind::Directory}, {21, TKind::Directory}, {22, TKind::Directory},
    {23, TKind::Directory}, {24, TKind::Directory}, {25, TKind::Directory}, {30, TKind::Directory},
    {31, TKind::Directory}, {32, TKind::Directory}, {40, TKind::Number}, {41, TKind::Directory},
    {42, TKind::Directory}, {43, TKind::Directory}, {44, TKind::Directory}, {80, TKind::Choice2},
    {81, TKind::Choice2}, {82, TKind::Choice2}, {83, TKind::Choice2}, {90, TKind::Choice2}, {91, TKind::Choice2},
    {92, TKind::Number}, {93, TKind::Number}, {94, TKind::Choice2}, {95, TKind::Choice2}, {96, TKind::Number},
    {97, TKind::Choice2}, {98, TKind::Choice2},
};

std::vector<std::unique_ptr<TJoint1>> MakeSysParamJobs(TForm1& window)
{
    std::vector<std::unique_ptr<TJoint1>> jobs;
    int row = 1;
    for (const auto& [code, kind] : SysParams) {
        std::unique_ptr<TJoint1> job;
        if (kind == TKind::Directory) {
            job = std::make_unique<TDirectory>();
        } else if (kind == TKind::Number) {
            job = std::make_unique<TNumber>();
        } else {
            auto choice = std::make_unique<TChoice>();
            choice->Choices = kind == TKind::Choice2 ? QStringList{"0", "1"} : QStringList{"0", "1", "2"};
            job = std::move(choice);
        }
        job->Code = code;
        job->Mode = Unit::umSys;
        job->GridRef = &window.sgSysParams;
        job->Col = 2;
        job->Row = row++;
        jobs.push_back(std::move(job));
    }
    return jobs;
}

struct TRun {
    double Seconds = 0;
    double LineSeconds = 0;
    qint64 LongestGapMs = 0;
    double Ratio() const { return LineSeconds > 0 ? Seconds / LineSeconds : 0; }
};

template <class F>
TRun Measure(TBenchUnit& unit, TGapMeter& gaps, F run)
{
    const long long sentBefore = unit.Sent();
    QElapsedTimer clock;
    gaps.Start();
    clock.start();
    run();
    TRun result;
    result.Seconds = clock.nsecsElapsed() / 1e9;
    result.LongestGapMs = gaps.Stop();
    result.LineSeconds = double(unit.Sent() - sentBefore) * 10 / BitRate;
    return result;
}

void Print(const char* what, const TRun& run)
{
    std::printf("%-16s %7.3f s   unit output on the line %7.3f s   ratio %.3f   longest main-thread gap %lld ms\n",
                what, run.Seconds, run.LineSeconds, run.Ratio(), static_cast<long long>(run.LongestGapMs));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    TBenchWindow rig;
    if (!rig.Start("bench_connect", BitRate))
        return 1;
    TForm1& window = rig.Window();
    TBenchUnit& unit = rig.Unit;
    const auto jobs = MakeSysParamJobs(window);
    TGapMeter gaps;

    for (int round = 1; round <= rounds; ++round) {
        const TRun connect = Measure(unit, gaps, [&] { window.btnConnect->click(); });
        if (window.StatusPanels[3]->text().isEmpty())
            std::fprintf(stderr, "bench_connect: no version shown\n");
        const TRun params = Measure(unit, gaps, [&] {
            for (const auto& job : jobs) {
                job->State = TJoint1::Read;
                window.Session()->Submit(job.get());
            }
            window.Server()->WaitIdle();
        });
        std::printf("round %d\n", round);
        Print("connect", connect);
        Print("38 parameters", params);
        window.btnDisconnect->click();
        window.Server()->WaitIdle();
    }
    return rig.Sink.Boxes == 0 ? 0 : 1;
}
