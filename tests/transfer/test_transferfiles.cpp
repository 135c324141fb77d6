// The computer's side of a transfer: which files can be sent, and how a
// received file replaces the user's — in one step on the same filesystem and
// across filesystems, and never touching the user's file when it fails.
#include "TestFiles.h"
#include "transfer/TransferFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

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

        QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
        if (QFile(file).open(QIODevice::ReadOnly))
            QSKIP("this user reads files without read permission (root)");
        QVERIFY(!CheckFileToSend(file, error));
        QVERIFY2(error.startsWith(QStringLiteral("Не удалось открыть файл ") + file + QStringLiteral(": ")),
                 qPrintable(error));
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
        QVERIFY2(error.startsWith(QStringLiteral("Не удалось записать файл ") + missing + QStringLiteral(": "))
                     && error.contains(QLatin1String("No such file or directory")),
                 qPrintable(error));

        // A folder in the way stays a folder with its contents.
        const QString folder = dir.filePath(QStringLiteral("target.pcm"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target.pcm")));
        QVERIFY(WriteTestFile(folder + QStringLiteral("/inside"), "kept"));
        QVERIFY(!PlaceReceivedFile(received, folder, error));
        QVERIFY2(error.startsWith(QStringLiteral("Не удалось записать файл ") + folder), qPrintable(error));
        QCOMPARE(ReadTestFile(folder + QStringLiteral("/inside")), QByteArray("kept"));
        QCOMPARE(ReadTestFile(received), QByteArray("new"));
    }
};

QTEST_GUILESS_MAIN(TestTransferFiles)
#include "test_transferfiles.moc"
