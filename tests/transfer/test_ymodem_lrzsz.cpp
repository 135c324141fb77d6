// The engine against lrzsz, the independent YModem peer, over a real
// pseudo-terminal: our sender to rb and our receiver from sb, with CRC and 1K
// blocks and (from sb) streaming; files must arrive byte for byte.
#include "ByteRelay.h"
#include "TestSupport.h"
#include "TransferEnd.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

// lrzsz behind pipes, relayed to the far side of a pseudo-terminal whose near
// side our port opens.
class TLrzszLink {
public:
    TLrzszLink(const QStringList& command, const QString& folder, int bitRate = 0)
        : m_relay({m_pty.MasterFd(), m_pty.MasterFd()},
                  StartPeer(m_peer, command, folder, folder + QStringLiteral("/../lrzsz.log")), bitRate)
    {
        m_relay.Start();
    }
    QString Device() const { return m_pty.SlavePath(); }
    TChildProcess& Peer() { return m_peer; }

private:
    TPtyPair m_pty;
    TChildProcess m_peer;
    TByteRelay m_relay;
};

const QList<int> fileSizes = {0, 1, 127, 128, 1023, 1024, 1025, 200 * 1024 + 77};

void addSizeRows()
{
    QTest::addColumn<int>("size");
    for (int size : fileSizes)
        QTest::addRow("%d bytes", size) << size;
}

} // namespace

class TestYModemLrzsz : public QObject {
    Q_OBJECT
private slots:
    void sendsToRb_data() { addSizeRows(); }
    void sendsToRb();
    void receivesFromSb_data();
    void receivesFromSb();
    void sendsBatchToRb();
    void cancelledUploadStopsRbAtOnce_data();
    void cancelledUploadStopsRbAtOnce();
};

void TestYModemLrzsz::sendsToRb()
{
    QFETCH(int, size);
    QTemporaryDir root;
    QDir(root.path()).mkdir("in");
    const QString source = root.filePath("voice.wav");
    const QByteArray data = testPattern(size, size);
    writeFile(source, data);

    TLrzszLink link({"rb", "-E", "-vv"}, root.filePath("in"));
    TTransferEnd end(link.Device());
    end.Upload({source});
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, 0);
    QCOMPARE(link.Peer().Wait(30000), 0);
    QCOMPARE(readFile(root.filePath("in/voice.wav")), data);
    QCOMPARE(end.FileNames, QStringList{source});
    QCOMPARE(end.FileSizes.value(0), qint64(size));
    // One 1K block per started kilobyte, the last one at the full size.
    QCOMPARE(end.Packets.size(), (size + 1023) / 1024);
    if (size > 0)
        QCOMPARE(end.Packets.last().second, qint64(size));
}

void TestYModemLrzsz::receivesFromSb_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("streaming");
    for (bool streaming : {false, true})
        for (int size : fileSizes)
            QTest::addRow("%s %d bytes", streaming ? "G" : "C", size) << size << streaming;
}

void TestYModemLrzsz::receivesFromSb()
{
    QFETCH(int, size);
    QFETCH(bool, streaming);
    QTemporaryDir root;
    QDir(root.path()).mkdir("out");
    QDir(root.path()).mkdir("in");
    const QByteArray data = testPattern(size, size + 7);
    writeFile(root.filePath("out/message.pcm"), data);

    // Streaming has no flow control: on an unpaced link sb outruns any queue.
    // Paced at 460800 bit/s, with room for over a second of data, it cannot.
    TLrzszLink link({"sb", "-k", "-vv", "message.pcm"}, root.filePath("out"), streaming ? 460800 : 0);
    TTransferEnd end(link.Device());
    end.Modem.SetProtocol(streaming ? YModemG : YModem);
    if (streaming)
        end.Modem.SetBufferSize(65536);
    end.Download(root.filePath("in"));
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, 0);
    QCOMPARE(link.Peer().Wait(30000), 0);
    const QString stored = root.filePath("in/message.pcm");
    QCOMPARE(end.Modem.Files, QStringList{stored});
    QCOMPARE(end.FileNames, QStringList{stored});
    QCOMPARE(end.FileSizes.value(0), qint64(size));
    QCOMPARE(readFile(stored), data);
    QVERIFY(end.Errors.isEmpty());
}

void TestYModemLrzsz::sendsBatchToRb()
{
    // Three files in one batch. The middle one cannot be opened for writing,
    // not even by root: it is a program that is running.
    QTemporaryDir root;
    QDir(root.path()).mkdir("in");
    const QStringList files = {root.filePath("part0.bin"), root.filePath("busy"), root.filePath("part2.bin")};
    writeFile(files[0], testPattern(5, 0));
    QFile::copy("/bin/sleep", files[1]);
    QFile::setPermissions(files[1], QFile::ReadOwner | QFile::ExeOwner);
    writeFile(files[2], testPattern(6005, 2));
    TChildProcess running;
    StartPeer(running, {files[1], "60"}, root.path(), root.filePath("sleep.log"));

    TLrzszLink link({"rb", "-E", "-vv"}, root.filePath("in"));
    TTransferEnd end(link.Device());
    end.Upload(files);
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, 0);
    QVERIFY(link.Peer().Wait(30000) >= 0);
    for (const QString& file : files)
        QCOMPARE(readFile(root.filePath("in/") + QFileInfo(file).fileName()), readFile(file));
    QCOMPARE(end.FileNames, files);
}

void TestYModemLrzsz::cancelledUploadStopsRbAtOnce_data()
{
    QTest::addColumn<int>("packet");
    for (int packet : {1, 2, 5, 13, 34})
        QTest::addRow("after packet %d", packet) << packet;
}

void TestYModemLrzsz::cancelledUploadStopsRbAtOnce()
{
    // The packet event is posted: by the time it runs, the next block is on
    // its way and rb is taking it in. rb must still see the cancel and give
    // up at once, not wait for a block that never comes.
    QFETCH(int, packet);
    QTemporaryDir root;
    QDir(root.path()).mkdir("in");
    const QString source = root.filePath("voice.wav");
    writeFile(source, testPattern(200 * 1024, packet));

    TLrzszLink link({"rb", "-E", "-vv"}, root.filePath("in"));
    TTransferEnd end(link.Device());
    end.Modem.OnPacketEvent = [&](TSpProtocol*, int n, qint64) {
        if (n == packet)
            end.Modem.CancelTransfer();
    };
    end.Upload({source});
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, int(ecCancelled));
    // rb waits 5 s for a block before it asks again, ten times over: ended
    // well within that, it took the cancel.
    const int rbExit = link.Peer().Wait(15000);
    QVERIFY2(rbExit > 0, qPrintable(readFile(root.filePath("lrzsz.log"))));
    QVERIFY(!QFile::exists(root.filePath("in/voice.wav")));
}

QTEST_GUILESS_MAIN(TestYModemLrzsz)
#include "test_ymodem_lrzsz.moc"
