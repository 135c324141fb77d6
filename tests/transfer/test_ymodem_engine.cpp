// The YModem engine against itself through a relay that can damage the line,
// and against a hand-played peer for what our own engine never sends: crafted
// headers, checksum mode, repeats, silence, floods, a file cut short, a
// cancel after the file's last byte.
#include "ByteRelay.h"
#include "TestSupport.h"
#include "TransferEnd.h"
#include "serial/SpSync.h"
#include "transfer/SpCrc16.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <memory>
#include <thread>
#include <mutex>
#include <utility>

using namespace TestSupport;

namespace {

constexpr char SOH = 0x01, STX = 0x02, EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18;

QByteArray header(const char* name, const char* rest)
{
    return QByteArray(name) + '\0' + rest;
}

QByteArray block(int number, const QByteArray& data, int size, bool crc = true)
{
    QByteArray field = data.left(size).leftJustified(size, '\0');
    QByteArray out;
    out += size == 128 ? SOH : STX;
    out += char(number);
    out += char(255 - number);
    out += field;
    const auto* bytes = reinterpret_cast<const uint8_t*>(field.constData());
    if (crc) {
        const uint16_t c = spCrc16(0, bytes, size_t(size));
        out += char(c >> 8);
        out += char(c);
    } else {
        unsigned sum = 0;
        for (char b : field)
            sum += uint8_t(b);
        out += char(sum);
    }
    return out;
}

// The far end of a pseudo-terminal played by the test. While it waits it keeps
// the main thread serving the engine, which needs it for every byte it reads.
class TPeer {
public:
    QString Device() const { return m_pty.SlavePath(); }
    void Send(const QByteArray& bytes) { m_pty.Write(bytes); }
    // The next n bytes from the engine (fewer if none come within the limit).
    QByteArray Take(int n, int timeoutMs = 10000)
    {
        spProcessMessagesUntil([&] {
            m_pending += m_pty.Read(0);
            return m_pending.size() >= n;
        }, timeoutMs, 5);
        const QByteArray out = m_pending.left(n);
        m_pending.remove(0, n);
        return out;
    }
    // Everything that arrives until it ends with tail, or the limit.
    QByteArray TakeUntil(const QByteArray& tail, int timeoutMs)
    {
        spProcessMessagesUntil([&] {
            m_pending += m_pty.Read(0);
            return m_pending.endsWith(tail);
        }, timeoutMs, 5);
        return std::exchange(m_pending, {});
    }

private:
    TPtyPair m_pty;
    QByteArray m_pending;
};

// Two of our ends joined through a relay whose hooks play a bad line.
struct TEngineLink {
    explicit TEngineLink(int bitRate = 0, TByteRelay::THook toReceiver = {}, TByteRelay::THook toSender = {})
        : Relay({SenderPty.MasterFd(), SenderPty.MasterFd()}, {ReceiverPty.MasterFd(), ReceiverPty.MasterFd()}, bitRate)
    {
        Relay.SetHook(TByteRelay::AtoB, std::move(toReceiver));
        Relay.SetHook(TByteRelay::BtoA, std::move(toSender));
        Relay.Start();
    }
    TPtyPair SenderPty, ReceiverPty;
    TByteRelay Relay;
    TTransferEnd Sender{SenderPty.SlavePath()};
    TTransferEnd Receiver{ReceiverPty.SlavePath()};
};

// Hooks: replace the nth (1-based) occurrence of a byte, or the byte at an offset.
TByteRelay::THook replaceNth(char what, int nth, char with)
{
    return [what, nth, with, seen = 0](const QByteArray& chunk, qint64) mutable {
        QByteArray out = chunk;
        for (char& c : out)
            if (c == what && ++seen == nth)
                c = with;
        return out;
    };
}

TByteRelay::THook replaceAt(qint64 at, char with)
{
    return [at, with](const QByteArray& chunk, qint64 offset) {
        QByteArray out = chunk;
        if (at >= offset && at < offset + chunk.size())
            out[at - offset] = with;
        return out;
    };
}

// The last two bytes that went through a hook, readable while the relay runs.
class TTail {
public:
    TByteRelay::THook Wrap(TByteRelay::THook inner)
    {
        return [this, inner](const QByteArray& chunk, qint64 offset) {
            const QByteArray out = inner(chunk, offset);
            std::lock_guard lock(m_mutex);
            m_tail = (m_tail + out).right(2);
            return out;
        };
    }
    QByteArray Get() const
    {
        std::lock_guard lock(m_mutex);
        return m_tail;
    }

private:
    mutable std::mutex m_mutex;
    QByteArray m_tail;
};

} // namespace

class TestYModemEngine : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValue();
    void engineToEngine_data();
    void engineToEngine();
    void dataPhaseNeedsNoMainThread();
    void lineFaults_data();
    void lineFaults();
    void storesHeaderSafely_data();
    void storesHeaderSafely();
    void receiverRecoversBlocks();
    void sendsChecksumBlocksOnNak();
    void endsWithCode_data();
    void endsWithCode();
    void cancelAfterTheLastByte_data();
    void cancelAfterTheLastByte();
    void startWhileRunningIsRefused();
    void destructionWhileRunning();
};

void TestYModemEngine::crcCheckValue()
{
    QCOMPARE(spCrc16(0, reinterpret_cast<const uint8_t*>("123456789"), 9), uint16_t(0x31C3));
}

void TestYModemEngine::engineToEngine_data()
{
    // rb never asks for streaming: our streaming sender meets our receiver only.
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("streaming");
    QTest::newRow("C 0") << 0 << false;
    QTest::newRow("G 0") << 0 << true;
    QTest::newRow("G 1") << 1 << true;
    QTest::newRow("G 5000") << 5000 << true;
}

void TestYModemEngine::engineToEngine()
{
    QFETCH(int, size);
    QFETCH(bool, streaming);
    QTemporaryDir root;
    const QByteArray data = testPattern(size, 3);
    writeFile(root.filePath("a.wav"), data);
    QDir(root.path()).mkdir("in");

    // Streaming has no flow control: paced, with room to spare in the queue.
    TEngineLink link(streaming ? 460800 : 0);
    link.Receiver.Modem.SetProtocol(streaming ? YModemG : YModem);
    link.Receiver.Modem.SetBufferSize(65536);
    // The sender first: starting purges its port, which would drop a 'C' sent early.
    link.Sender.Upload({root.filePath("a.wav")});
    link.Receiver.Download(root.filePath("in"));
    QVERIFY(link.Sender.WaitEnd() && link.Receiver.WaitEnd());
    QCOMPARE(link.Sender.Exit, 0);
    QCOMPARE(link.Receiver.Exit, 0);
    const QString stored = root.filePath("in/a.wav");
    QCOMPARE(readFile(stored), data); // an empty file stays empty, a short one unpadded
    QCOMPARE(link.Receiver.Modem.Files, QStringList{stored});
    QCOMPARE(link.Receiver.FileSizes, QList<qint64>{size});
    QCOMPARE(link.Receiver.Packets, link.Sender.Packets);
}

void TestYModemEngine::dataPhaseNeedsNoMainThread()
{
    QTemporaryDir root;
    const qsizetype size = 64 * 1024 + 100;
    const QByteArray data = testPattern(size, 7);
    writeFile(root.filePath("a.wav"), data);
    QDir(root.path()).mkdir("in");
    TEngineLink link;
    link.Sender.Upload({root.filePath("a.wav")});
    link.Receiver.Download(root.filePath("in"));
    // Both ends have announced the file: from here on no block may wait for
    // the main thread, which now does nothing but watch the file grow.
    QVERIFY(spProcessMessagesUntil([&] { return link.Receiver.FileNames.size() == 1 && link.Sender.FileNames.size() == 1; },
                                   20000));
    const QString stored = root.filePath("in/a.wav");
    QElapsedTimer clock;
    clock.start();
    while (QFileInfo(stored).size() < size && clock.elapsed() < 30000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    QCOMPARE(QFileInfo(stored).size(), size);

    // Every block's event arrives, in order, before the end.
    QVERIFY(link.Sender.WaitEnd() && link.Receiver.WaitEnd());
    QCOMPARE(link.Sender.Exit, 0);
    QCOMPARE(link.Receiver.Exit, 0);
    QCOMPARE(readFile(stored), data);
    QList<std::pair<int, qint64>> expected;
    for (int n = 1; n <= 65; ++n)
        expected.append({n, std::min<qint64>(qint64(n) * 1024, size)});
    QCOMPARE(link.Sender.Packets, expected);
    QCOMPARE(link.Receiver.Packets, expected);
}

void TestYModemEngine::lineFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("senderExit");
    QTest::addColumn<int>("receiverExit");
    QTest::addColumn<QList<int>>("senderErrors");
    QTest::addColumn<QList<int>>("receiverErrors");
    // Offsets towards the receiver: the header block takes 133 bytes, then 1029 per block.
    QTest::newRow("data byte damaged") << 0 << 0 << 0 << QList<int>{-15} << QList<int>{-15};
    QTest::newRow("complement damaged") << 1 << 0 << 0 << QList<int>{-15} << QList<int>{-15};
    QTest::newRow("ACK lost, block repeated") << 2 << 0 << 0 << QList<int>{-15} << QList<int>{};
    QTest::newRow("single CAN to sender") << 3 << -4 << -3 << QList<int>{} << QList<int>{};
    QTest::newRow("single CAN to receiver") << 4 << -3 << -4 << QList<int>{} << QList<int>{};
}

void TestYModemEngine::lineFaults()
{
    QFETCH(int, fault);
    QFETCH(int, senderExit);
    QFETCH(int, receiverExit);
    QTemporaryDir root;
    const QByteArray data = testPattern(3000, 5);
    writeFile(root.filePath("f.bin"), data);
    TTail toReceiverTail, toSenderTail;
    TByteRelay::THook toReceiver = [](const QByteArray& c, qint64) { return c; };
    TByteRelay::THook toSender = toReceiver;
    switch (fault) {
    case 0: toReceiver = replaceAt(133 + 3 + 500, 'x'); break;
    case 1: toReceiver = replaceAt(133 + 2, 0); break;
    case 2: toSender = replaceNth(ACK, 2, NAK); break; // the sender resends block 1
    case 3: toSender = replaceNth(ACK, 2, CAN); break;
    case 4: toReceiver = replaceAt(133 + 1029, CAN); break; // lead byte of block 2
    }
    TEngineLink link(0, toReceiverTail.Wrap(toReceiver), toSenderTail.Wrap(toSender));
    QDir(root.path()).mkdir("in");
    link.Sender.Upload({root.filePath("f.bin")});
    link.Receiver.Download(root.filePath("in"));
    // After a cancel the other side waits for a line that stays silent: cancel it too.
    QVERIFY(spProcessMessagesUntil([&] { return link.Sender.Ends + link.Receiver.Ends > 0; }, 30000));
    if (senderExit != 0) {
        link.Sender.Modem.CancelTransfer();
        link.Receiver.Modem.CancelTransfer();
    }
    QVERIFY(link.Sender.WaitEnd() && link.Receiver.WaitEnd());
    QCOMPARE(link.Sender.Exit, senderExit);
    QCOMPARE(link.Receiver.Exit, receiverExit);
    auto codes = [](const TTransferEnd& e) {
        QList<int> out;
        for (const auto& [code, count] : e.Errors)
            out << code;
        return out;
    };
    QTEST(codes(link.Sender), "senderErrors");
    QTEST(codes(link.Receiver), "receiverErrors");
    if (senderExit == 0)
        QCOMPARE(readFile(root.filePath("in/f.bin")), data);
    // Whoever was cancelled on its own side said so with two CANs.
    const TTail& cancelled = senderExit == -3 ? toReceiverTail : toSenderTail;
    if (senderExit == -3 || receiverExit == -3)
        QVERIFY(spProcessMessagesUntil([&] { return cancelled.Get() == QByteArray(2, CAN); }, 10000));
}

void TestYModemEngine::storesHeaderSafely_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("storedSize");
    // One 1024-byte block of 'v' follows each header.
    QTest::newRow("size trims padding") << header("v.wav", "700 1234 644") << QStringList{} << "v.wav" << 700;
    QTest::newRow("no digits: size unknown") << header("v.wav", "") << QStringList{} << "v.wav" << 1024;
    QTest::newRow("size 0: empty file") << header("v.wav", "0") << QStringList{} << "v.wav" << 0;
    QTest::newRow("existing name numbered") << header("dup.wav", "5")
                                            << QStringList{"dup.wav", "dup-1.wav"} << "dup-2.wav" << 5;
    QTest::newRow("folder parts dropped") << header("C:\\voice\\sub/hello.wav", "5") << QStringList{}
                                          << "hello.wav" << 5;
    QTest::newRow("climbing out") << header("../../evil.wav", "3") << QStringList{} << "evil.wav" << 3;
    QTest::newRow("absolute path") << header("/etc/passwd", "3") << QStringList{} << "passwd" << 3;
    QTest::newRow("only dots") << header("..", "3") << QStringList{} << "unnamed" << 3;
    QTest::newRow("trailing slash") << header("dir/", "3") << QStringList{} << "unnamed" << 3;
    QTest::newRow("control characters") << header("a\x01\x1b" "b", "3") << QStringList{} << "a__b" << 3;
    QTest::newRow("Windows-1251 name") << header("\xf4\xe0\xe9\xeb.wav", "3") << QStringList{}
                                       << QString::fromUtf8("файл.wav") << 3;
}

void TestYModemEngine::storesHeaderSafely()
{
    QFETCH(QByteArray, header);
    QFETCH(QStringList, existing);
    QFETCH(QString, stored);
    QFETCH(int, storedSize);
    QTemporaryDir root;
    const QString folder = root.filePath("a/b");
    QDir().mkpath(folder);
    for (const QString& name : existing)
        writeFile(folder + '/' + name, "old");

    TPeer peer;
    TTransferEnd end(peer.Device());
    end.Download(folder);
    QCOMPARE(peer.Take(1), QByteArray("C"));
    peer.Send(block(0, header, 128));
    QCOMPARE(peer.Take(2), QByteArray() + ACK + 'C');
    peer.Send(block(1, QByteArray(1024, 'v'), 1024));
    QCOMPARE(peer.Take(1), QByteArray(1, ACK));
    peer.Send(QByteArray(1, EOT));
    QCOMPARE(peer.Take(2), QByteArray() + ACK + 'C');
    peer.Send(block(0, {}, 128)); // end of batch
    QCOMPARE(peer.Take(1), QByteArray(1, ACK));
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, 0);

    const QString path = folder + '/' + stored;
    QCOMPARE(end.Modem.Files, QStringList{path});
    QCOMPARE(end.FileNames, QStringList{path});
    QCOMPARE(readFile(path), QByteArray(storedSize, 'v'));
    // Nothing else was written, here or anywhere above.
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), existing.size() + 1);
    QCOMPARE(QDir(root.path()).entryList(QDir::Files), QStringList{});
    QCOMPARE(QDir(root.filePath("a")).entryList(QDir::Files), QStringList{});
    for (const QString& name : existing)
        QCOMPARE(readFile(folder + '/' + name), QByteArray("old"));
}

void TestYModemEngine::receiverRecoversBlocks()
{
    // A damaged complement is asked for again; a repeat of the block just
    // stored (our ACK was lost) is acknowledged and dropped; blocks of 128 and
    // 1024 bytes mix; the end of the unit's "START" line before the header is
    // passed over.
    QTemporaryDir root;
    TPeer peer;
    TTransferEnd end(peer.Device());
    end.Download(root.path());
    QCOMPARE(peer.Take(1), QByteArray("C"));
    peer.Send("\r\n" + block(0, header("r.bin", "1100"), 128));
    QCOMPARE(peer.Take(2), QByteArray() + ACK + 'C');
    QByteArray bad = block(1, QByteArray(1024, 'a'), 1024);
    bad[2] = 0;
    peer.Send(bad);
    QCOMPARE(peer.Take(1), QByteArray(1, NAK));
    peer.Send(block(1, QByteArray(1024, 'a'), 1024));
    QCOMPARE(peer.Take(1), QByteArray(1, ACK));
    peer.Send(block(1, QByteArray(1024, 'z'), 1024));
    QCOMPARE(peer.Take(1), QByteArray(1, ACK));
    peer.Send(block(2, QByteArray(128, 'b'), 128));
    QCOMPARE(peer.Take(1), QByteArray(1, ACK));
    peer.Send(QByteArray(1, EOT));
    QCOMPARE(peer.Take(2), QByteArray() + ACK + 'C');
    peer.Send(block(0, {}, 128));
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, 0);
    QCOMPARE(readFile(root.filePath("r.bin")), QByteArray(1024, 'a') + QByteArray(76, 'b'));
    QCOMPARE(end.Errors, (QList<std::pair<int, int>>{{-15, 1}}));
}

void TestYModemEngine::sendsChecksumBlocksOnNak()
{
    QTemporaryDir root;
    const QByteArray data = testPattern(300, 9);
    writeFile(root.filePath("sum.bin"), data);
    TPeer peer;
    TTransferEnd end(peer.Device());
    end.Upload({root.filePath("sum.bin")});
    peer.Send(QByteArray(1, NAK));
    QCOMPARE(peer.Take(132), block(0, header("sum.bin", "300"), 128, false));
    peer.Send(QByteArray() + ACK + NAK);
    for (int n = 1; n <= 3; ++n) {
        QCOMPARE(peer.Take(132), block(n, data.mid((n - 1) * 128, 128), 128, false));
        peer.Send(QByteArray(1, ACK));
    }
    QCOMPARE(peer.Take(1), QByteArray(1, EOT));
    peer.Send(QByteArray() + ACK + 'C');
    QCOMPARE(peer.Take(133), block(0, {}, 128)); // end of batch, CRC as asked
    peer.Send(QByteArray(1, ACK));
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, 0);
}

void TestYModemEngine::endsWithCode_data()
{
    QTest::addColumn<int>("situation");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("cancelSent");
    QTest::newRow("silent receiver: timeouts, then too many") << 0 << -9 << false;
    QTest::newRow("inbound flood overflows the queue") << 1 << -14 << true;
    QTest::newRow("file to send missing") << 2 << -12 << true;
    QTest::newRow("target folder cannot be written") << 3 << -11 << true;
    QTest::newRow("port queue refuses a block") << 4 << -7 << true;
    QTest::newRow("port closed while receiving") << 5 << -8 << false;
    QTest::newRow("nothing to send") << 6 << 0 << false;
    QTest::newRow("cancelled while calling the sender") << 7 << -10 << false;
    QTest::newRow("sender ends the file short of its size") << 8 << -5 << true;
    QTest::newRow("cancelled before the receiver calls") << 9 << -3 << true;
}

void TestYModemEngine::endsWithCode()
{
    QFETCH(int, situation);
    QFETCH(int, exitCode);
    QFETCH(bool, cancelSent);
    QTemporaryDir root;
    writeFile(root.filePath("x.bin"), testPattern(2000));
    writeFile(root.filePath("plain"), "a regular file");
    TPeer peer;
    TTransferEnd end(peer.Device());
    end.Modem.SetTimeout(200);
    end.Modem.SetMaxErrors(3);
    switch (situation) {
    case 0:
        end.Upload({root.filePath("x.bin")});
        break;
    case 1:
        end.Modem.SetBufferSize(64);
        end.Download(root.path());
        QCOMPARE(peer.Take(1), QByteArray("C"));
        peer.Send(QByteArray(4000, 'j'));
        break;
    case 2:
        end.Upload({root.filePath("missing.wav")});
        break;
    case 3:
        // A folder below a regular file: no permission bits involved, so it
        // holds for root too.
        end.Download(root.filePath("plain/sub"));
        QCOMPARE(peer.Take(1), QByteArray("C"));
        peer.Send(block(0, header("x.bin", "3"), 128));
        break;
    case 4:
        end.Port.Close();
        end.Port.Buffers().SetWriteSize(512); // a 1K block never fits
        end.Port.Buffers().SetWriteTimeout(50);
        end.Port.Open();
        end.Upload({root.filePath("x.bin")});
        peer.Send("C");
        QCOMPARE(peer.Take(133).left(3), QByteArray("\x01\x00\xff", 3));
        peer.Send(QByteArray() + ACK + 'C');
        break;
    case 5:
        end.Modem.OnFileInfo = [&](TSpProtocol*, const QString&, qint64) { end.Port.Close(); };
        QDir(root.path()).mkdir("in");
        end.Download(root.filePath("in"));
        QCOMPARE(peer.Take(1), QByteArray("C"));
        peer.Send(block(0, header("y.bin", "3"), 128));
        break;
    case 6:
        end.Upload({});
        break;
    case 7:
        end.Download(root.path());
        QCOMPARE(peer.Take(1), QByteArray("C"));
        end.Modem.CancelTransfer();
        break;
    case 8:
        end.Download(root.path());
        QCOMPARE(peer.Take(1), QByteArray("C"));
        peer.Send(block(0, header("s.bin", "3000"), 128));
        QCOMPARE(peer.Take(2), QByteArray() + ACK + 'C');
        peer.Send(block(1, QByteArray(1024, 's'), 1024));
        QCOMPARE(peer.Take(1), QByteArray(1, ACK));
        peer.Send(QByteArray(1, EOT));
        break;
    case 9:
        // The cancel waits for the receiver's call (lrzsz drops what comes
        // before it), and then goes out instead of the header.
        end.Modem.SetTimeout(60000);
        end.Upload({root.filePath("x.bin")});
        end.Modem.CancelTransfer();
        QVERIFY(!spProcessMessagesUntil([&] { return end.Ends > 0; }, 1000));
        peer.Send("C");
        break;
    }
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, exitCode);
    QCOMPARE(end.Ends, 1);
    QVERIFY(!end.Modem.InProgress());
    const QByteArray rest = peer.TakeUntil(QByteArray(2, CAN), cancelSent ? 10000 : 200);
    QCOMPARE(rest.endsWith(QByteArray(2, CAN)), cancelSent);
    if (situation == 0) // the last error ends the transfer instead of being raised
        QCOMPARE(end.Errors, (QList<std::pair<int, int>>{{-1, 1}, {-1, 2}}));
    if (situation == 9) // no header before it
        QCOMPARE(rest, QByteArray(2, CAN));
    if (end.Modem.Mode() == tmDownload) // nothing arrived whole
        QCOMPARE(end.Modem.Files, QStringList{});
}

void TestYModemEngine::cancelAfterTheLastByte_data()
{
    QTest::addColumn<int>("situation");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("receiving: the sender ends the batch") << 0 << 0;
    QTest::newRow("receiving: the sender falls silent") << 1 << -3;
    QTest::newRow("sending: cancel while the EOT is answered") << 2 << 0;
}

// Once every byte of the file has moved, a cancel waits for the file's and the
// batch's ends; a file received whole stays listed whatever comes after it.
void TestYModemEngine::cancelAfterTheLastByte()
{
    QFETCH(int, situation);
    QFETCH(int, exitCode);
    QTemporaryDir root;
    const QByteArray data = testPattern(1500, 4);
    const QString path = root.filePath("w.bin");
    TPeer peer;
    TTransferEnd end(peer.Device());
    if (situation < 2) {
        end.Download(root.path());
        QCOMPARE(peer.Take(1), QByteArray("C"));
        peer.Send(block(0, header("w.bin", "1500"), 128));
        QCOMPARE(peer.Take(2), QByteArray() + ACK + 'C');
        peer.Send(block(1, data, 1024));
        QCOMPARE(peer.Take(1), QByteArray(1, ACK));
        peer.Send(block(2, data.mid(1024), 1024));
        QCOMPARE(peer.Take(1), QByteArray(1, ACK));
        end.Modem.CancelTransfer();
        if (situation == 0) {
            peer.Send(QByteArray(1, EOT));
            QCOMPARE(peer.Take(2), QByteArray() + ACK + 'C');
            peer.Send(block(0, {}, 128));
            QCOMPARE(peer.Take(1), QByteArray(1, ACK));
        } else {
            QCOMPARE(peer.TakeUntil(QByteArray(2, CAN), 20000).right(2), QByteArray(2, CAN));
        }
    } else {
        writeFile(path, data);
        end.Upload({path});
        peer.Send("C");
        QCOMPARE(peer.Take(133), block(0, header("w.bin", "1500"), 128));
        peer.Send(QByteArray() + ACK + 'C');
        QCOMPARE(peer.Take(1029), block(1, data, 1024));
        peer.Send(QByteArray(1, ACK));
        QCOMPARE(peer.Take(1029), block(2, data.mid(1024), 1024));
        peer.Send(QByteArray(1, ACK));
        QCOMPARE(peer.Take(1), QByteArray(1, EOT));
        end.Modem.CancelTransfer();
        peer.Send(QByteArray() + ACK + 'C');
        QCOMPARE(peer.Take(133), block(0, {}, 128));
        peer.Send(QByteArray(1, ACK));
    }
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, exitCode);
    if (situation < 2)
        QCOMPARE(end.Modem.Files, QStringList{path});
    QCOMPARE(readFile(path), data);
}

void TestYModemEngine::startWhileRunningIsRefused()
{
    QTemporaryDir root;
    writeFile(root.filePath("x.bin"), testPattern(100));
    TPeer peer;
    TTransferEnd end(peer.Device());
    end.Upload({root.filePath("x.bin")});
    try {
        end.Modem.StartTransfer();
        QFAIL("a second transfer started");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Transfer already in progress..."));
    }
    // The first transfer still runs: it answers the receiver's call and ends once.
    peer.Send("C");
    QCOMPARE(peer.Take(133).left(8), QByteArray("\x01\x00\xffx.bin", 8));
    QVERIFY(end.Modem.InProgress());
    end.Modem.CancelTransfer();
    QVERIFY(end.WaitEnd());
    QCOMPARE(end.Exit, -3);
    QCOMPARE(end.Ends, 1);
}

void TestYModemEngine::destructionWhileRunning()
{
    // A silent line and a 1 ms timeout: the thread hands an OnError to the
    // main thread every millisecond, so destruction meets it waiting in one.
    QTemporaryDir root;
    writeFile(root.filePath("x.bin"), testPattern(100));
    TPeer peer;
    int ends = 0;
    int errors = 0;
    {
        TTransferEnd end(peer.Device());
        end.Modem.SetTimeout(1);
        end.Modem.SetMaxErrors(1000000);
        end.Modem.OnError = [&](TSpProtocol*, int, int) { ++errors; };
        end.Modem.OnTransferEnd = [&](TSpProtocol*, int) { ++ends; };
        end.Upload({root.filePath("x.bin")});
        QVERIFY(spProcessMessagesUntil([&] { return errors >= 5; }, 10000));
    }
    const int errorsAtEnd = errors;
    QCoreApplication::processEvents();
    QCOMPARE(ends, 0);
    QCOMPARE(errors, errorsAtEnd);
}

QTEST_GUILESS_MAIN(TestYModemEngine)
#include "test_ymodem_engine.moc"
