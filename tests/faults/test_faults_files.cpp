// Voice-file transfers and the export against the emulated unit when the
// computer's side goes wrong: a file to upload that is missing, not a file or
// empty; the line dying in the middle of an upload and of a download; a
// download or an export into a read-only or a full folder. The transfer is
// driven as the transfer window drives it: the job's request, its transfer
// start hook running the YModem engine, then the unit's result.
#include "FaultRig.h"
#include "GuiTestSupport.h"
#include "window/Unit1.h"
#include "session/AAMenu.h"
#include "settings/MenuDlg.h"
#include "transfer/SpProtocol.h"
#include "ui/StringGrid.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace TestSupport;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// The transfer window's part: the engine on the program's port, started by
// the job's hook; after its end the job reads the unit's result.
class TTransfer {
public:
    TTransfer()
    {
        Modem.SetComm(&FormComm()->SpComm1);
        Modem.OnPacketEvent = [this](TSpProtocol*, int packet, qint64) {
            if (OnPacket)
                OnPacket(packet);
        };
        Modem.OnTransferEnd = [this](TSpProtocol*, int code) {
            Exit = code;
            Ended = true;
        };
    }
    // Runs the job in state (30 upload, 40 download), the transfer, then state 70.
    void Run(TFaultRig& rig, TFile* job, int state)
    {
        if (state == TFile::UploadFile) {
            Modem.SetMode(tmUpload);
            Modem.Files = QStringList{job->LocalFilePath};
        }
        job->TransferStartHook = [this] {
            Started = true;
            Modem.StartTransfer();
        };
        job->State = state;
        rig.Window->Session()->Submit(job);
        QVERIFY(rig.Settle());
        if (!Started)
            return;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(QTest::qWaitFor([this] { return Ended; }, 60000));
        Seconds = clock.elapsed() / 1000.0;
        job->State = TFile::ReadResult;
        rig.Window->Session()->Submit(job);
        QVERIFY(rig.Settle());
    }
    TSpYModem Modem;
    std::function<void(int packet)> OnPacket;
    bool Started = false;
    bool Ended = false;
    int Exit = 1;
    double Seconds = 0;
};

// A small file system of its own, read-only or nearly full; gone with it.
class TMountedFolder {
public:
    explicit TMountedFolder(const QString& path) : m_path(path)
    {
        QDir().mkpath(path);
        m_mounted = ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TMountedFolder()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    bool MakeReadOnly()
    {
        return ::mount("tmpfs", QFile::encodeName(m_path).constData(), nullptr, MS_REMOUNT | MS_RDONLY, "size=64k") == 0;
    }
    // Leaves about `room` bytes free.
    bool Fill(qint64 room)
    {
        const QStorageInfo info(m_path);
        return writeFile(m_path + QStringLiteral("/filler"), QByteArray(std::max<qint64>(0, info.bytesFree() - room), 'f'));
    }

private:
    QString m_path;
    bool m_mounted = false;
};

#define REQUIRE_MOUNT(folder)                                                                    \
    if (!(folder).Mounted())                                                                     \
    QSKIP("mounting a tmpfs is not allowed here; the export's own test covers a full disk with " \
          "RLIMIT_FSIZE")

} // namespace

class TestFaultsFiles : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    // Refused before the unit hears of an upload; the unit's line stays quiet.
    void uploadOfFilesThatCannotBeSent()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(writeFile(path(QStringLiteral("empty.pcm")), {}));
        QVERIFY(QDir().mkpath(path(QStringLiteral("folder.pcm"))));
        QVERIFY(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.pcm"))).constData(), 0600) == 0);
        const std::pair<QString, QString> cases[] = {
            {path(QStringLiteral("missing.pcm")), QStringLiteral("Файл не найден: %1")},
            {path(QStringLiteral("folder.pcm")), QStringLiteral("Это папка, а не файл: %1")},
            {path(QStringLiteral("pipe.pcm")), QStringLiteral("Это не обычный файл: %1")},
            {path(QStringLiteral("empty.pcm")), QStringLiteral("Файл пуст: %1")},
        };
        auto* message = static_cast<TFile*>(w.sgMessages->Objects(1, 2));
        auto* menu = static_cast<TMenuDlg*>(w.sgMenu->Objects(0, 3));
        for (TFile* job : {message, static_cast<TFile*>(menu)}) {
            for (const auto& [file, text] : cases) {
                TTransfer transfer;
                job->LocalFilePath = file;
                rig.Sink.Clear();
                const int before = rig.Received();
                transfer.Run(rig, job, TFile::UploadFile);
                QVERIFY(!transfer.Started);
                QCOMPARE(rig.Sink.Errors().size(), 1);
                QVERIFY2(rig.Sink.Errors().constFirst().startsWith(text.arg(file)), qPrintable(rig.Sink.Errors().constFirst()));
                if (job == message)
                    QCOMPARE(rig.Received(), before);
            }
        }
        QVERIFY(rig.StaysUsable());
    }

    // The engine ends at once; the result read finds the port gone; the unit
    // keeps its earlier recording.
    void lineDiesDuringUpload()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsMessages));
        QCOMPARE(w.sgMessages->Cells(1, 1), QStringLiteral("wait.pcm"));
        const QString file = path(QStringLiteral("long.pcm"));
        QVERIFY(writeFile(file, QByteArray(200 * 1024, 'v')));
        TTransfer transfer;
        const qint64 unit = rig.Unit->Pid();
        transfer.OnPacket = [unit, killed = false](int packet) mutable {
            if (packet >= 3 && !std::exchange(killed, true))
                ::kill(pid_t(unit), SIGKILL);
        };
        auto* job = static_cast<TFile*>(w.sgMessages->Objects(1, 1));
        job->LocalFilePath = file;
        rig.Sink.Clear();
        transfer.Run(rig, job, TFile::UploadFile);
        QVERIFY(transfer.Started);
        QCOMPARE(transfer.Exit, int(ecReadFailed));
        QVERIFY2(transfer.Seconds < 10, qPrintable(QString::number(transfer.Seconds)));
        QCOMPARE(rig.Sink.Log(), QStringList({rig.PortGone()}));
        QVERIFY(rig.RestartUnit());
        QVERIFY(rig.StaysUsable());
        QVERIFY(rig.ShowPage(w.tbsMessages));
        QCOMPARE(w.sgMessages->Cells(1, 1), QStringLiteral("wait.pcm"));
    }

    // Without the port's word the receiver would wait out its timeout.
    void lineDiesDuringDownload()
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsMessages));
        QTemporaryDir target;
        QVERIFY(writeFile(target.filePath(QStringLiteral("wait.pcm")), "earlier"));
        TTransfer transfer;
        transfer.Modem.SetMode(tmDownload);
        transfer.Modem.SetTargetFolder(target.path());
        const qint64 unit = rig.Unit->Pid();
        transfer.OnPacket = [unit, killed = false](int packet) mutable {
            if (packet >= 3 && !std::exchange(killed, true))
                ::kill(pid_t(unit), SIGKILL);
        };
        rig.Sink.Clear();
        transfer.Run(rig, static_cast<TFile*>(w.sgMessages->Objects(1, 1)), TFile::DownloadFile);
        QVERIFY(transfer.Started);
        QCOMPARE(transfer.Exit, int(ecWriteFailed));
        QVERIFY2(transfer.Seconds < 10, qPrintable(QString::number(transfer.Seconds)));
        // The unit may have streamed the whole recording before it died: a file
        // is listed only when it arrived whole.
        for (const QString& received : transfer.Modem.Files)
            QCOMPARE(QFileInfo(received).size(), qint64(3 * 8000));
        QCOMPARE(readFile(target.filePath(QStringLiteral("wait.pcm"))), QByteArray("earlier"));
        QCOMPARE(rig.Sink.Log(), QStringList({rig.PortGone()}));
        QVERIFY(rig.RestartUnit());
        QVERIFY(rig.StaysUsable());
    }

    void downloadIntoReadOnlyOrFullFolder_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only") << true;
        QTest::newRow("full") << false;
    }

    // The engine gives up and cancels; the unit reports the failed transfer;
    // what the folder held stays.
    void downloadIntoReadOnlyOrFullFolder()
    {
        QFETCH(bool, readOnly);
        TMountedFolder folder(path(QStringLiteral("mounted")));
        REQUIRE_MOUNT(folder);
        QVERIFY(writeFile(path(QStringLiteral("mounted/wait.pcm")), "earlier"));
        QVERIFY(readOnly ? folder.MakeReadOnly() : folder.Fill(4096));
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsMessages));
        TTransfer transfer;
        transfer.Modem.SetMode(tmDownload);
        transfer.Modem.SetTargetFolder(path(QStringLiteral("mounted")));
        rig.Sink.Clear();
        transfer.Run(rig, static_cast<TFile*>(w.sgMessages->Objects(1, 1)), TFile::DownloadFile);
        QVERIFY(transfer.Started);
        QCOMPARE(transfer.Exit, int(readOnly ? ecCreateFailed : ecWriteFailed));
        QCOMPARE(rig.Sink.Log(), QStringList({"E: YMODEM: error 1"}));
        QCOMPARE(readFile(path(QStringLiteral("mounted/wait.pcm"))), QByteArray("earlier"));
        QCOMPARE(w.sgMessages->Cells(1, 1), QStringLiteral("wait.pcm"));
        QVERIFY(rig.StaysUsable());
    }

    void exportIntoReadOnlyOrFullFolder_data() { downloadIntoReadOnlyOrFullFolder_data(); }

    void exportIntoReadOnlyOrFullFolder()
    {
        QFETCH(bool, readOnly);
        TMountedFolder folder(path(QStringLiteral("mounted")));
        REQUIRE_MOUNT(folder);
        const QString target = path(QStringLiteral("mounted/settings.txt"));
        QVERIFY(writeFile(target, "earlier export\r\n"));
        QVERIFY(readOnly ? folder.MakeReadOnly() : folder.Fill(1024));
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        const int before = rig.Received();
        TWindowRig::ChooseFile(target);
        rig.Window->btnExport->click();
        QVERIFY(WaitModalsAnswered());
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Errors().size(), 1);
        QVERIFY2(rig.Sink.Errors().constFirst().startsWith(QStringLiteral("Не удалось записать настройки в файл %1: ").arg(target)),
                 qPrintable(rig.Sink.Errors().constFirst()));
        // A folder that takes no file is found before the pages are read, also
        // by root, whom permission bits would not stop.
        if (readOnly) {
            QCOMPARE(rig.Received(), before);
            QCOMPARE(rig.Sink.Errors().constFirst(), QStringLiteral("Не удалось записать настройки в файл %1: %2")
                                                         .arg(target, QString::fromLocal8Bit(std::strerror(EROFS))));
        }
        QCOMPARE(readFile(target), QByteArray("earlier export\r\n"));
        QCOMPARE(QDir(path(QStringLiteral("mounted"))).entryList(QDir::Files | QDir::Hidden),
                 readOnly ? QStringList({"settings.txt"}) : QStringList({"filler", "settings.txt"}));
        QVERIFY(rig.StaysUsable());
    }
};

QTEST_MAIN(TestFaultsFiles)
#include "test_faults_files.moc"
