// The computer's side of a transfer and every file the program writes: which
// files can be sent (in the window's words and the command line's), how a
// received file replaces the user's — in one step on the same filesystem and
// across filesystems, never touching the user's file when it fails — and the
// targets that are no regular file: a pipe or a device written in place and
// never renamed over, a socket or a folder refused; folders that cannot take a
// file found before anything is written; exports and backups for their owner.
#include "TestFiles.h"
#include "support/OutputFile.h"
#include "transfer/TransferFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

dev_t deviceOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

// A folder on another filesystem than dir, when the machine has one.
std::unique_ptr<QTemporaryDir> otherFilesystem(const QTemporaryDir& dir)
{
    auto other = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/transferfiles-XXXXXX"));
    if (!other->isValid() || deviceOf(other->path()) == deviceOf(dir.path()))
        return nullptr;
    return other;
}

void filesystemRows()
{
    QTest::addColumn<bool>("acrossFilesystems");
    QTest::newRow("same filesystem") << false;
    QTest::newRow("across filesystems") << true;
}

} // namespace

class TestTransferFiles : public QObject {
    Q_OBJECT
private slots:
    void onlyReadableNonEmptyRegularFilesCanBeSent()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a.pcm"));
        const QString empty = dir.filePath(QStringLiteral("empty.pcm"));
        QVERIFY(WriteTestFile(file, "sound") && WriteTestFile(empty, {}));
        QString error;
        QVERIFY(CheckFileToSend(file, error));
        // An empty file would replace the unit's recording with nothing.
        QVERIFY(!CheckFileToSend(empty, error));
        QCOMPARE(error, QStringLiteral("Файл пуст: ") + empty);

        QVERIFY(!CheckFileToSend(dir.filePath(QStringLiteral("none.pcm")), error));
        QCOMPARE(error, QStringLiteral("Файл не найден: ") + dir.filePath(QStringLiteral("none.pcm")));
        QVERIFY(!CheckFileToSend(dir.path(), error));
        QCOMPARE(error, QStringLiteral("Это папка, а не файл: ") + dir.path());
        // Opening a pipe for reading would wait for a writer that never comes.
        const QString pipe = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(!CheckFileToSend(pipe, error));
        QCOMPARE(error, QStringLiteral("Это не обычный файл: ") + pipe);

        // The command line refuses the same files in English.
        const std::pair<QString, QString> refusals[] = {
            {empty, QStringLiteral("file is empty: %1")},
            {dir.filePath(QStringLiteral("none.pcm")), QStringLiteral("file not found: %1")},
            {dir.path(), QStringLiteral("%1 is a folder, not a file")},
            {pipe, QStringLiteral("%1 is not a regular file")},
        };
        for (const auto& [path, text] : refusals) {
            QVERIFY(!CheckFileToSendArgument(path, error));
            QCOMPARE(error, text.arg(path));
        }
        QVERIFY(CheckFileToSendArgument(file, error));

        QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
        if (QFile(file).open(QIODevice::ReadOnly))
            QSKIP("this user reads files without read permission (root)");
        QVERIFY(!CheckFileToSend(file, error));
        QVERIFY2(error.startsWith(QStringLiteral("Не удалось открыть файл ") + file + QStringLiteral(": ")),
                 qPrintable(error));
        QVERIFY(!CheckFileToSendArgument(file, error));
        QVERIFY2(error.startsWith(QStringLiteral("cannot open ") + file + QStringLiteral(": ")), qPrintable(error));
    }

    void receivedFileReplacesTheTarget_data() { filesystemRows(); }

    void receivedFileReplacesTheTarget()
    {
        QFETCH(bool, acrossFilesystems);
        QTemporaryDir dir;
        std::unique_ptr<QTemporaryDir> other;
        if (acrossFilesystems && !(other = otherFilesystem(dir)))
            QSKIP("no second filesystem to receive on");
        const QString received = (other ? other->path() : dir.path()) + QStringLiteral("/received.pcm");
        const QString target = dir.filePath(QStringLiteral("target.pcm"));
        const QByteArray data(70000, '\x5a');
        QVERIFY(WriteTestFile(received, data) && WriteTestFile(target, "old"));

        QString error;
        QVERIFY2(PlaceReceivedFile(received, target, error), qPrintable(error));
        QCOMPARE(ReadTestFile(target), data);
        // Nothing else beside the target: no temporary copy left over.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("target.pcm")});

        // A new target is created the same way.
        const QString fresh = dir.filePath(QStringLiteral("fresh.pcm"));
        QVERIFY(WriteTestFile(received, "again"));
        QVERIFY2(PlaceReceivedFile(received, fresh, error), qPrintable(error));
        QCOMPARE(ReadTestFile(fresh), QByteArray("again"));
    }

    void failedPlacementLeavesEverythingAsItWas_data() { filesystemRows(); }

    void failedPlacementLeavesEverythingAsItWas()
    {
        QFETCH(bool, acrossFilesystems);
        QTemporaryDir dir;
        std::unique_ptr<QTemporaryDir> other;
        if (acrossFilesystems && !(other = otherFilesystem(dir)))
            QSKIP("no second filesystem to receive on");
        const QString received = (other ? other->path() : dir.path()) + QStringLiteral("/received.pcm");
        QVERIFY(WriteTestFile(received, "new"));

        QString error;
        const QString missing = dir.filePath(QStringLiteral("gone/target.pcm"));
        QVERIFY(!PlaceReceivedFile(received, missing, error));
        QCOMPARE(error, QStringLiteral("Не удалось записать файл %1: the folder %2 does not exist")
                            .arg(missing, dir.filePath(QStringLiteral("gone"))));

        // A folder in the way stays a folder with its contents.
        const QString folder = dir.filePath(QStringLiteral("target.pcm"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target.pcm")));
        QVERIFY(WriteTestFile(folder + QStringLiteral("/inside"), "kept"));
        QVERIFY(!PlaceReceivedFile(received, folder, error));
        QCOMPARE(error, QStringLiteral("Не удалось записать файл %1: it is a folder").arg(folder));
        QCOMPARE(ReadTestFile(folder + QStringLiteral("/inside")), QByteArray("kept"));
        QCOMPARE(ReadTestFile(received), QByteArray("new"));
    }

    // Pipes first: a program that renames over them turns them into files,
    // which this sees before it comes to a device. Devices only through a
    // link of this test's own, so that replacing the link harms nothing.
    void targetsThatAreNoRegularFile()
    {
        QTemporaryDir dir;
        const QString received = dir.filePath(QStringLiteral("received.pcm"));
        QVERIFY(WriteTestFile(received, "sound"));
        QString reason;

        // A pipe is written in place, by either way of writing, and stays a pipe.
        const QString pipePath = dir.filePath(QStringLiteral("pipe"));
        TPipeNode pipe(pipePath);
        QVERIFY(pipe.Open());
        QCOMPARE(OutputProblem(pipePath), std::nullopt);
        QVERIFY2(WriteOutputFile(pipePath, "exported", TFileAccess::Owner, reason), qPrintable(reason));
        QVERIFY(S_ISFIFO(ModeOf(pipePath)));
        QCOMPARE(pipe.ReadAll(), QByteArray("exported"));
        QVERIFY2(PlaceReceivedFile(received, pipePath, reason), qPrintable(reason));
        QVERIFY(S_ISFIFO(ModeOf(pipePath)));
        QCOMPARE(pipe.ReadAll(), QByteArray("sound"));
        QCOMPARE(ReadTestFile(received), QByteArray("sound"));

        // A socket and a folder are refused, and stay what they were.
        const QString socketPath = dir.filePath(QStringLiteral("socket"));
        TSocketNode socket(socketPath);
        QVERIFY(socket.Bound());
        const QString folder = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        for (const auto& [path, problem] : {std::pair{socketPath, QStringLiteral("it is a socket, not a file")},
                                            std::pair{folder, QStringLiteral("it is a folder")}}) {
            QCOMPARE(OutputProblem(path), problem);
            QVERIFY(!CheckOutputFile(path, reason));
            QCOMPARE(reason, QStringLiteral("cannot write %1: %2").arg(path, problem));
            QVERIFY(!WriteOutputFile(path, "exported", TFileAccess::Owner, reason));
            QCOMPARE(reason, problem);
            QVERIFY(!PlaceReceivedFile(received, path, reason));
        }
        QVERIFY(S_ISSOCK(ModeOf(socketPath)));
        QVERIFY(S_ISDIR(ModeOf(folder)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList({"pipe", "received.pcm", "socket"}));

        // A device that takes nothing: the failure is told, the device stays.
        const QString full = dir.filePath(QStringLiteral("full"));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), full));
        QVERIFY(!WriteOutputFile(full, "exported", TFileAccess::Owner, reason));
        QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(ENOSPC)));
        QVERIFY(!PlaceReceivedFile(received, full, reason));
        QVERIFY(S_ISLNK(ModeOf(full)));
        QVERIFY(S_ISCHR(ModeOf(QStringLiteral("/dev/full"))));
    }

    // An export or a backup holds the unit's passwords: for its owner only,
    // also where it replaces a file everybody could read. A received
    // recording keeps the usual mode.
    void exportsAndBackupsForTheirOwnerOnly()
    {
        QTemporaryDir dir;
        const QString earlier = dir.filePath(QStringLiteral("earlier.txt"));
        QVERIFY(WriteTestFile(earlier, "earlier"));
        QVERIFY(::chmod(QFile::encodeName(earlier).constData(), 0644) == 0);
        const QString fresh = dir.filePath(QStringLiteral("fresh.txt"));
        QString reason;
        for (const QString& path : {earlier, fresh}) {
            QVERIFY2(WriteOutputFile(path, "secret", TFileAccess::Owner, reason), qPrintable(reason));
            QCOMPARE(ReadTestFile(path), QByteArray("secret"));
            QCOMPARE(ModeOf(path) & 0777, mode_t(0600));
        }
        // Through a link: the file it leads to is replaced, the link stays.
        const QString link = dir.filePath(QStringLiteral("link.txt"));
        QVERIFY(QFile::link(earlier, link));
        QVERIFY2(WriteOutputFile(link, "again", TFileAccess::Owner, reason), qPrintable(reason));
        QVERIFY(S_ISLNK(ModeOf(link)));
        QCOMPARE(ReadTestFile(earlier), QByteArray("again"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList({"earlier.txt", "fresh.txt", "link.txt"}));
    }

    // Found before anything is written or sent: the folder must be there and
    // take files.
    void foldersThatCannotTakeTheFile()
    {
        QTemporaryDir dir;
        QVERIFY(WriteTestFile(dir.filePath(QStringLiteral("plain")), "plain"));
        const QString missing = dir.filePath(QStringLiteral("gone"));
        const QString plain = dir.filePath(QStringLiteral("plain"));
        QCOMPARE(OutputProblem(missing + QStringLiteral("/x.txt")), QStringLiteral("the folder %1 does not exist").arg(missing));
        QCOMPARE(OutputProblem(missing + QStringLiteral("/deeper/x.txt")),
                 QStringLiteral("the folder %1/deeper does not exist").arg(missing));
        QCOMPARE(OutputProblem(plain + QStringLiteral("/x.txt")), QStringLiteral("%1 is not a folder").arg(plain));
        QCOMPARE(OutputProblem(QString()), QStringLiteral("no file name"));
        QCOMPARE(OutputProblem(QStringLiteral("-")), std::nullopt);
        QCOMPARE(OutputProblem(dir.filePath(QStringLiteral("new.txt"))), std::nullopt);

        const QString locked = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0500) == 0);
        if (::access(QFile::encodeName(locked).constData(), W_OK) == 0)
            QSKIP("this user writes into folders without write permission (root); the read-only "
                  "filesystem of the fault tests stands in for it");
        QCOMPARE(OutputProblem(locked + QStringLiteral("/x.txt")),
                 QStringLiteral("the folder %1: %2").arg(locked, QString::fromLocal8Bit(std::strerror(EACCES))));
    }
};

QTEST_GUILESS_MAIN(TestTransferFiles)
#include "test_transferfiles.moc"
