// How close to the line's own pace a voice file moves through the transfer
// window: against the emulated unit paced at 19200 bit/s, a 64 KB file sent to
// menu 7 and received back, each timed from the window's "Отправка файла" /
// "Прием файла" to its close (the unit's YModem side is lrzsz), divided by the
// time 64 KB takes as 1K blocks at 1920 bytes/s (34.1 s). The unit paces only
// what it sends: the download shows the pace of the line, the upload only how
// fast both ends are without it.
//   build/bench/transfer_window/bench_transfer_window [rounds]   (runs offscreen)
#include "BenchWindow.h"
#include "session/AAMenu.h"
#include "session/Server.h"
#include "settings/VoiceFile.h"
#include "ui/YModemU.h"
#include "window/Unit1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int BitRate = 19200;
constexpr int FileSize = 64 * 1024;
constexpr double LineSeconds = FileSize / (BitRate / 10.0);
constexpr int MenuCode = 7;

// Seconds from the file's announcement in the window to its close; negative
// when the transfer did not end well.
double TimedTransfer(TForm1& window, TFile* job, const QString& targetPath)
{
    TFormYMU ymu(*window.Session(), *window.Server(), &window);
    ymu.Job = job;
    ymu.TargetPath = targetPath;
    QElapsedTimer clock;
    const auto announce = ymu.SpYModem1.OnFileInfo;
    ymu.SpYModem1.OnFileInfo = [&](TSpProtocol* sender, const QString& name, qint64 size) {
        clock.start();
        announce(sender, name, size);
    };
    ymu.RunUnattended();
    const double seconds = clock.isValid() ? clock.nsecsElapsed() / 1e9 : -1;
    window.Server()->WaitIdle();
    return ymu.ExitCode() == 0 ? seconds : -1;
}

void Print(const char* what, double seconds)
{
    std::printf("%-9s %7.2f s   64 KB as 1K blocks at 1920 bytes/s %6.2f s   ratio %.3f\n", what, seconds,
                LineSeconds, seconds / LineSeconds);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 1;
    TBenchWindow rig;
    if (!rig.Start("bench_transfer_window", BitRate))
        return 1;
    TForm1& window = rig.Window();
    const QTemporaryDir& folder = rig.Folder;
    window.btnConnectClick();
    window.Server()->WaitIdle();

    const QString source = folder.filePath(QStringLiteral("sound.pcm"));
    QByteArray sound(FileSize, Qt::Uninitialized);
    for (char& byte : sound)
        byte = char(QRandomGenerator::global()->bounded(256));
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(sound) != sound.size())
        return 1;
    file.close();

    TFile* job = window.VoiceFileJob(false, MenuCode);
    const QString back = folder.filePath(QStringLiteral("back.pcm"));
    int failures = 0;
    for (int round = 1; round <= rounds; ++round) {
        job->State = TFile::UploadFile;
        job->LocalFilePath = source;
        const double up = TimedTransfer(window, job, QString());
        job->State = TFile::DownloadFile;
        const double down = TimedTransfer(window, job, back);
        QFile received(back);
        const bool same = received.open(QIODevice::ReadOnly) && received.readAll() == sound;
        if (up < 0 || down < 0 || !same || rig.Sink.Boxes) {
            std::fprintf(stderr, "bench_transfer_window: round %d did not end well\n", round);
            ++failures;
            continue;
        }
        Print("upload", up);
        Print("download", down);
    }
    window.Session()->Disconnect();
    window.Server()->WaitIdle(5000);
    return failures ? 1 : 0;
}
