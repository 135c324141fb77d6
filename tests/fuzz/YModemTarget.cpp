// The YModem receiver against a sender played by the input. The first byte
// sets the protocol (YModem or streaming YModem-G), the error limit and how
// the sender's bytes are cut into chunks; the rest is everything the sender
// says, handed to the component through its port before its thread starts,
// followed by one CAN: the sender hangs up. So the receiver never waits on the
// clock except for the rest of a block cut short, and then only 1 ms a time.
//
// The target folder sits in a sandbox beside a folder that must stay empty,
// and holds decoys: a file whose name is taken, a link to a file in the empty
// folder that does not exist, and a link to that folder itself. Whatever the
// headers name, every file received must lie in the target folder, nothing
// may appear anywhere else, and the transfer must end with a known code.
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "TestSupport.h"
#include "serial/SpSync.h"
#include "transfer/SpProtocol.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace TestSupport;

namespace Fuzz {
namespace {

constexpr char CAN = 0x18;
const QString Taken = QStringLiteral("taken.wav");
const QString FileLink = QStringLiteral("link.wav");
const QString FolderLink = QStringLiteral("folder");

// The port the receiver writes to: a pseudo-terminal whose far end nobody
// answers; what the receiver sends is read and dropped after every run.
struct TBench {
    TBench()
    {
        Port.SetDeviceName(Pty.SlavePath());
        Port.SetBaudrate(br19200);
        Port.Open();
        Target = Sandbox.filePath(QStringLiteral("target"));
        Outside = Sandbox.filePath(QStringLiteral("outside"));
        QDir(Sandbox.path()).mkdir(QStringLiteral("outside"));
    }
    TPtyPair Pty;
    TSpComm Port;
    QTemporaryDir Sandbox;
    QString Target;
    QString Outside;
};

TBench& bench()
{
    static TBench* const b = new TBench; // as long as the process
    return *b;
}

void makeTarget(const TBench& b)
{
    QDir(b.Target).removeRecursively();
    QDir().mkpath(b.Target);
    QFile taken(QDir(b.Target).filePath(Taken));
    taken.open(QIODevice::WriteOnly);
    taken.write("already here");
    QFile::link(QDir(b.Outside).filePath(FileLink), QDir(b.Target).filePath(FileLink));
    QFile::link(b.Outside, QDir(b.Target).filePath(FolderLink));
}

void checkSandbox(const TBench& b, const QStringList& received)
{
    QDir sandbox(b.Sandbox.path());
    Check(sandbox.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
              == QStringList({QStringLiteral("outside"), QStringLiteral("target")}),
          "something was written beside the target folder");
    Check(QDir(b.Outside).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
          "something was written through a link out of the target folder");
    const QFileInfo fileLink(QDir(b.Target).filePath(FileLink));
    const QFileInfo folderLink(QDir(b.Target).filePath(FolderLink));
    Check(fileLink.isSymLink() && folderLink.isSymLink(), "a link in the target folder was replaced");
    QFile taken(QDir(b.Target).filePath(Taken));
    Check(taken.open(QIODevice::ReadOnly) && taken.readAll() == "already here", "an existing file was changed");
    for (const QString& path : received) {
        const QFileInfo info(path);
        Check(info.absolutePath() == QFileInfo(b.Target).absoluteFilePath(), "a received file lies outside the target folder");
        Check(info.isFile() && !info.isSymLink(), "a received file is not a plain file");
    }
    QDirIterator below(b.Target, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden);
    Check(!below.hasNext(), "a folder was created in the target folder");
}

bool knownExitCode(int code)
{
    const int codes[] = {ecDone, ecCancelled, ecRemoteCancel, ecProtocol, ecWriteFailed,
                         ecTooManyErrors, ecNoSender, ecCreateFailed, ecOverflow};
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

} // namespace

void YModemReceive(const uint8_t* data, size_t size)
{
    TBench& b = bench();
    makeTarget(b);
    TInput input(data, size);
    const uint8_t flags = input.Byte();
    const QByteArray said = input.Rest() + CAN;
    const int chunkSizes[] = {int(said.size()), 1, 7, 128, 1029, 4096, 3, 64};
    const int chunk = std::max(1, chunkSizes[(flags >> 3) & 7]);

    TQuietSink sink;
    SetMessageSink(&sink);
    TSpYModem modem;
    modem.SetComm(&b.Port);
    modem.SetMode(tmDownload);
    modem.SetProtocol(flags & 1 ? YModemG : YModem);
    modem.SetTimeout(1);
    modem.SetMaxErrors(1 + ((flags >> 1) & 3) * 3);
    modem.SetTargetFolder(b.Target);
    int ends = 0;
    int errors = 0;
    modem.OnError = [&](TSpProtocol*, int, int) { ++errors; };
    modem.OnTransferStart = [&](TSpProtocol*) {
        for (qsizetype at = 0; at < said.size(); at += chunk) {
            const QByteArray piece = said.mid(at, chunk);
            b.Port.DeliverReceived(reinterpret_cast<const uint8_t*>(piece.constData()), int(piece.size()));
        }
    };
    modem.OnTransferEnd = [&](TSpProtocol*, int) { ++ends; };
    modem.StartTransfer();
    if (!spProcessMessagesUntil([&] { return ends > 0; }, HangLimitMs))
        Fail("the transfer did not end");
    Check(ends == 1 && !modem.InProgress(), "the transfer ended other than once");
    Check(knownExitCode(modem.ExitCode()), "the transfer ended with an unknown code");
    if (Verbose())
        std::fprintf(stderr, "transfer ended with %d, %d errors counted, received: %s\n", modem.ExitCode(), errors,
                     qPrintable(modem.Files.join(u' ')));
    checkSandbox(b, modem.Files);
    SetMessageSink(nullptr);
    b.Pty.Read(0);
}

} // namespace Fuzz
