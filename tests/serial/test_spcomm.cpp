// The serial port on a real pseudo-terminal: opening and its errors, the line
// settings that reach the device, received bytes with and without a companion,
// the write queue, purges, a vanishing device, and closing or destroying the
// port while its threads wait for the main thread; a receiver that takes the
// bytes in the event thread.
#include "TestSupport.h"
#include "serial/SpComm.h"
#include "serial/SpDeviceNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QtTest>

#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <memory>
#include <optional>
#include <termios.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

bool waitFor(const std::function<bool()>& done, int ms = 10000)
{
    return spProcessMessagesUntil(done, ms, 20);
}

// Plays the far end while the main thread keeps serving the port's threads.
QByteArray readUntil(TPtyPair& pty, const QByteArray& needle, int ms = 20000)
{
    QByteArray got;
    waitFor([&] {
        got += pty.Read(0);
        return got.contains(needle);
    }, ms);
    return got;
}

int entries(const char* dir)
{
    return int(QDir(QString::fromLatin1(dir)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ESpCommError& e) {
        return e.Message();
    }
    return {};
}

// How the port sorts the failure of its opening; nullopt when it opened.
std::optional<TSpFailure> openFailure(TSpComm& port)
{
    try {
        port.Open();
    } catch (const ESpCommError& e) {
        return e.Failure();
    }
    return std::nullopt;
}

void openOn(TSpComm& port, const TPtyPair& pty)
{
    port.SetDeviceName(pty.SlavePath());
    port.SetBaudrate(br19200);
    port.Open();
}

// Takes bytes in the port's event thread; the test waits on it without serving
// the main thread.
class TEarlyRecorder : public ISpEarlyReceiver {
public:
    void EarlyReceived(const uint8_t* data, int count) override
    {
        std::lock_guard lock(m_mutex);
        m_data.append(reinterpret_cast<const char*>(data), count);
        m_inMainThread |= spIsMainThread();
        m_cond.notify_all();
    }
    bool WaitFor(const QByteArray& wanted)
    {
        std::unique_lock lock(m_mutex);
        return m_cond.wait_for(lock, std::chrono::seconds(10), [&] { return m_data == wanted; });
    }
    QByteArray Data()
    {
        std::lock_guard lock(m_mutex);
        return m_data;
    }
    bool InMainThread()
    {
        std::lock_guard lock(m_mutex);
        return m_inMainThread;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    QByteArray m_data;
    bool m_inMainThread = false;
};

// Records what a companion receives, in the order received.
class TRecorder : public TSpCommComponent {
public:
    QByteArray Data;
    QList<int> Masks;
    bool MainThreadOnly = true;

protected:
    void DataReceived(const uint8_t* data, int count) override
    {
        MainThreadOnly &= spIsMainThread();
        Data.append(reinterpret_cast<const char*>(data), count);
    }
    void CommEvent(int mask) override { Masks << mask; }
};

// Terminal attributes of the device as another opener sees them.
bool deviceAttributes(const QString& path, termios& t)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool ok = ::tcgetattr(fd, &t) == 0;
    ::close(fd);
    return ok;
}

} // namespace

class TestSpComm : public QObject {
    Q_OBJECT
private slots:
    void openCloseAndRefusedSettings()
    {
        TPtyPair pty;
        TSpComm port;
        int opened = 0, closed = 0;
        port.OnOpen = [&](TSpComm* sender) { opened += sender == &port && spIsMainThread(); };
        port.OnClose = [&](TSpComm*) { ++closed; };
        QVERIFY(!port.WriteText("x"));
        QCOMPARE(port.ReadBuf(nullptr, 0), 0);
        openOn(port, pty);
        QVERIFY(port.IsOpen());
        QCOMPARE(opened, 1);

        const QString busy = QStringLiteral("Can't perform this operation while port is open");
        QCOMPARE(errorOf([&] { port.Open(); }), busy);
        QVERIFY(port.IsOpen());
        QCOMPARE(errorOf([&] { port.SetPortNum(5); }), busy);
        QCOMPARE(port.PortNum(), 0);
        QCOMPARE(errorOf([&] { port.SetDeviceName(QStringLiteral("COM%d")); }), busy);
        QCOMPARE(port.DeviceName(), pty.SlavePath());
        TSpBuffers buffers;
        buffers.SetWriteSize(16);
        QCOMPARE(errorOf([&] { port.SetBuffers(buffers); }), busy);
        QCOMPARE(port.Buffers().WriteSize(), 2048);
        // A single member is stored, but the open device keeps its queue.
        QCOMPARE(errorOf([&] { port.Buffers().SetWriteSize(16); }), busy);
        QCOMPARE(port.Buffers().WriteSize(), 16);
        QVERIFY(port.WriteText(QByteArray(100, 'q')));
        QCOMPARE(readUntil(pty, QByteArray(100, 'q')), QByteArray(100, 'q'));

        QVERIFY(port.WriteText(QByteArray()));
        port.Close();
        port.Close();
        QVERIFY(!port.IsOpen());
        QCOMPARE(closed, 1);
        QCOMPARE(port.WriteBuf(reinterpret_cast<const uint8_t*>("x"), 1), 0);
    }

    void openErrorsNameTheDevice()
    {
        TPtyPair pty;
        TSpComm port;
        port.SetDeviceName(QStringLiteral("/dev/parlotel-missing-%d"));
        port.SetPortNum(3);
        QCOMPARE(errorOf([&] { port.Open(); }),
                 QStringLiteral("Specified device not found (/dev/parlotel-missing-3)."));
        QCOMPARE(openFailure(port), TSpFailure::NotFound);
        QVERIFY(!port.IsOpen());
        // Never taken for a path: a bad address is told as one.
        port.SetDeviceName(QStringLiteral("tcp://localhost:%d00000"));
        QVERIFY(errorOf([&] { port.Open(); }).startsWith(QStringLiteral("tcp://localhost:300000 is not a network address")));

        // "COMn" goes through the settings; messages name the device tried.
        QSettings(QStringLiteral("pt71qm")).setValue(QStringLiteral("Devices/COM7"), pty.SlavePath());
        QSettings(QStringLiteral("pt71qm")).setValue(QStringLiteral("Devices/COM8"), QStringLiteral("/dev/parlotel-none"));
        QCOMPARE(spResolveDevice(QStringLiteral("COM7")), pty.SlavePath());
        QCOMPARE(spResolveDevice(QStringLiteral("COM12")).startsWith(QStringLiteral("/dev/tty")), true);
        port.SetDeviceName(QStringLiteral("COM%d"));
        port.SetPortNum(8);
        QCOMPARE(errorOf([&] { port.Open(); }), QStringLiteral("Specified device not found (/dev/parlotel-none)."));
        port.SetPortNum(7);
        port.Open();

        TSpComm second;
        second.SetDeviceName(pty.SlavePath());
        const QString held = errorOf([&] { second.Open(); });
        QVERIFY2(held.startsWith(QStringLiteral("Can't open specified device %1 (Error %2, ")
                                     .arg(pty.SlavePath()).arg(EWOULDBLOCK)), qPrintable(held));
        QCOMPARE(openFailure(second), TSpFailure::Busy);
        QVERIFY(!second.IsOpen());
        port.Close();
        second.Open(); // released at once by Close
        QVERIFY(second.IsOpen());
    }

    void lineSettingsReachTheDevice()
    {
        TPtyPair pty;
        TSpComm port;
        port.FlowControl().SetControlDtr(dtrDisabled);
        openOn(port, pty);
        termios t{};
        if (!deviceAttributes(pty.SlavePath(), t))
            QSKIP("the device cannot be opened a second time here (needs root)");
        QCOMPARE(cfgetospeed(&t), speed_t(B19200));
        QCOMPARE(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(t.c_cflag & (HUPCL | CRTSCTS | CSTOPB), tcflag_t(0));
        QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
        QCOMPARE(t.c_lflag & (ICANON | ECHO), tcflag_t(0));

        // Changes while open are written at once.
        port.SetStopbits(sb2);
        port.FlowControl().SetXonXoffOut(true);
        port.SetBaudrate(br115200);
        QVERIFY(deviceAttributes(pty.SlavePath(), t));
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));
        QVERIFY(t.c_cflag & CSTOPB);
        QVERIFY(t.c_iflag & IXON);

        // What the platform lacks is refused, never approximated.
        const QString dcb = QStringLiteral("Error writing dcb (%1), %2").arg(EINVAL).arg(QString::fromLocal8Bit(std::strerror(EINVAL)));
        QCOMPARE(errorOf([&] { port.SetUserBaudrate(14400); }), dcb);
        QCOMPARE(port.Baudrate(), brUser);
        QVERIFY(deviceAttributes(pty.SlavePath(), t));
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));
        QCOMPARE(errorOf([&] { port.SetDatabits(db4); }), dcb);
        QCOMPARE(errorOf([&] { port.SetStopbits(sb15); }), dcb);
        QVERIFY(port.IsOpen());
        port.Close();

        // Failing on open leaves the port closed and the device free.
        port.SetStopbits(sb1);
        QCOMPARE(errorOf([&] { port.Open(); }), dcb);
        QVERIFY(!port.IsOpen());
        port.SetDatabits(db8);
        port.SetBaudrate(br56000);
        QCOMPARE(port.UserBaudrate(), 0);
        QCOMPARE(errorOf([&] { port.Open(); }), dcb);
        port.SetBaudrate(br19200);
        port.Open();
        QVERIFY(port.IsOpen());
    }

    void bytesWithoutCompanionWaitForARead()
    {
        TPtyPair pty;
        TSpComm port;
        QList<int> counts;
        port.OnRxChar = [&](TSpComm*, int count) { counts << count; };
        openOn(port, pty);
        pty.Write("abc");
        QVERIFY(waitFor([&] { return counts.size() == 1; }));
        QCOMPARE(counts.front(), 3);
        QCOMPARE(port.InQueCount(), 3);
        // Unread bytes are announced again only when more arrive.
        pty.Write("de");
        QVERIFY(waitFor([&] { return counts.size() >= 2; }));
        QCOMPARE(counts, QList<int>({3, 5}));
        uint8_t buf[16];
        QCOMPARE(port.ReadBuf(buf, sizeof buf), 5);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buf), 5), QByteArray("abcde"));
        QCOMPARE(port.ReadBuf(buf, sizeof buf), 0);
        pty.Write("f");
        QVERIFY(waitFor([&] { return counts.size() >= 3; }));
        QCOMPARE(counts, QList<int>({3, 5, 1}));
    }

    void companionsReceiveBeforeOnRxBuf()
    {
        TPtyPair pty;
        auto port = std::make_unique<TSpComm>();
        TRecorder first, inactive;
        first.SetComm(port.get());
        inactive.SetComm(port.get());
        inactive.Dispatcher().SetActive(false);
        QByteArray seen;
        int rxChar = 0;
        port->OnRxChar = [&](TSpComm*, int) { ++rxChar; };
        port->OnRxBuf = [&](TSpComm*, const uint8_t* data, int count) {
            QCOMPARE(first.Data.right(count), QByteArray(reinterpret_cast<const char*>(data), count));
            seen.append(reinterpret_cast<const char*>(data), count);
        };
        openOn(*port, pty);
        pty.Write("PC SYS>");
        QVERIFY(waitFor([&] { return seen == "PC SYS>"; }));
        QCOMPARE(first.Data, QByteArray("PC SYS>"));
        QVERIFY(first.MainThreadOnly);
        QVERIFY(inactive.Data.isEmpty());
        QCOMPARE(rxChar, 0);
        QCOMPARE(port->InQueCount(), 0);

        // The port's end detaches every companion.
        port.reset();
        QVERIFY(first.Comm() == nullptr);
        QCOMPARE(first.Dispatcher().Write(reinterpret_cast<const uint8_t*>("x"), 1), 0);
        first.Dispatcher().Purge();
    }

    void earlyReceiverNeedsNoMainThread()
    {
        TPtyPair pty;
        auto port = std::make_unique<TSpComm>();
        TRecorder companion;
        companion.SetComm(port.get());
        QByteArray seen;
        port->OnRxBuf = [&](TSpComm*, const uint8_t* data, int count) {
            seen.append(reinterpret_cast<const char*>(data), count);
        };
        TEarlyRecorder early;
        port->AddEarlyReceiver(&early);
        openOn(*port, pty);

        // The main thread only waits: the bytes still reach the early receiver.
        pty.Write("\x06" "C");
        QVERIFY(early.WaitFor("\x06" "C"));
        QVERIFY(!early.InMainThread());
        // The companions and OnRxBuf get the same bytes in the main thread, in order.
        for (const QByteArray& burst : {QByteArray("abc"), QByteArray("de"), QByteArray(3000, 'f')})
            pty.Write(burst);
        const QByteArray all = "\x06" "Cabcde" + QByteArray(3000, 'f');
        QVERIFY(waitFor([&] { return seen == all; }));
        QCOMPARE(companion.Data, all);
        QCOMPARE(early.Data(), all);

        // Played through the port without a device, bytes reach it too.
        port->DeliverReceived(reinterpret_cast<const uint8_t*>("g"), 1);
        QCOMPARE(early.Data(), all + "g");

        // Removed, it hears nothing more; the others go on as before.
        port->RemoveEarlyReceiver(&early);
        pty.Write("h");
        QVERIFY(waitFor([&] { return seen.endsWith("gh"); }));
        QCOMPARE(early.Data(), all + "g");
        QCOMPARE(port->InQueCount(), 0);
    }

    void oneTxEmptyPerEmptying()
    {
        for (const bool direct : {false, true}) {
            TPtyPair pty;
            TSpComm port;
            port.SetDirectWrite(direct);
            int empties = 0;
            port.OnTxEmpty = [&](TSpComm*) { ++empties; };
            openOn(port, pty);
            QByteArray received;
            for (int round = 1; round <= 5; ++round) {
                const QByteArray chunk = QByteArray(300 * round, char('a' + round));
                QVERIFY(port.WriteText(chunk));
                received += readUntil(pty, chunk);
                QVERIFY(waitFor([&] { return empties >= round; }));
            }
            QCOMPARE(received.size(), 300 * 15);
            // Nothing more is on its way: a marker write raises exactly one more.
            QVERIFY(port.WriteChar('#'));
            QVERIFY(waitFor([&] { return empties >= 6; }));
            QCOMPARE(readUntil(pty, "#"), QByteArray("#"));
            QCoreApplication::processEvents();
            QCOMPARE(empties, 6);
        }
    }

    void fullQueueFailsAfterTheTimeoutAndDrainsInOrder()
    {
        TPtyPair pty;
        TSpComm port;
        port.Buffers().SetWriteSize(1024);
        port.Buffers().SetWriteTimeout(50);
        openOn(port, pty);
        const QString full = QStringLiteral("Output buffer is full. Please check comm status.");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(errorOf([&] { port.WriteText(QByteArray(1025, 'x')); }), full);
        QVERIFY(clock.elapsed() >= 50);

        // The far end reads nothing: the device fills, then the queue.
        QByteArray sent;
        QString error;
        for (int i = 0; i < 4096 && error.isEmpty(); ++i) {
            const QByteArray chunk = QByteArray::number(i).rightJustified(8, '0').repeated(100);
            error = errorOf([&] { port.WriteText(chunk); });
            if (error.isEmpty())
                sent += chunk;
        }
        QCOMPARE(error, full);
        QCOMPARE(readUntil(pty, sent.right(800)), sent);
        QVERIFY(port.WriteText("tail"));
        QCOMPARE(readUntil(pty, "tail"), QByteArray("tail"));
    }

    void purgesDropWhatIsWaiting()
    {
        TPtyPair pty;
        TSpComm port;
        int announced = 0;
        port.OnRxChar = [&](TSpComm*, int) { ++announced; };
        port.Buffers().SetWriteTimeout(50);
        openOn(port, pty);
        pty.Write("stale");
        QVERIFY(waitFor([&] { return announced == 1; }));
        port.PurgeRead();
        QCOMPARE(port.InQueCount(), 0);
        pty.Write("new");
        QVERIFY(waitFor([&] { return announced == 2; }));
        QCOMPARE(port.InQueCount(), 3);

        // Fill the device and the queue, then purge both directions.
        while (errorOf([&] { port.WriteText(QByteArray(256, 'p')); }).isEmpty()) {
        }
        port.PurgeReadWrite();
        QCOMPARE(port.InQueCount(), 0);
        QVERIFY(port.WriteText("after"));
        const QByteArray drained = readUntil(pty, "after");
        QVERIFY2(drained.endsWith("after"), qPrintable(QString::number(drained.size()) + QString::fromLatin1(drained.right(20))));
        QVERIFY(drained.count('p') < 1024 * 1024);
    }

    void vanishedDeviceIsReportedOnceAndNotWatched()
    {
        auto pty = std::make_unique<TPtyPair>();
        TSpComm port;
        QList<int> errors;
        port.OnError = [&](TSpComm*, int flags) { errors << flags; };
        openOn(port, *pty);
        const int threads = entries("/proc/self/task");
        pty->CloseMaster();
        QVERIFY(waitFor([&] { return !errors.isEmpty(); }));
        QCOMPARE(errors, QList<int>({int(leDevice)}));
        // The event thread stops watching instead of waking on the hang-up forever.
        QVERIFY(waitFor([&] { return entries("/proc/self/task") < threads; }));
        QVERIFY(!port.WriteText("lost"));
        uint8_t b;
        QCOMPARE(port.ReadBuf(&b, 1), 0);
        QCOMPARE(port.InQueCount(), 0);
        QCOMPARE(errors.size(), 1);
        port.Close();
        QVERIFY(!port.IsOpen());
    }

    void closeOrDestroyWhileHandOversWait()
    {
        TPtyPair pty;
        int late = 0;
        // Close in the main thread while the event thread may be waiting for it;
        // whatever was handed over must never run afterwards.
        for (int i = 0; i < 200; ++i) {
            TSpComm port;
            TRecorder recorder;
            recorder.SetComm(&port);
            bool closed = false;
            port.OnRxBuf = [&](TSpComm*, const uint8_t*, int) { late += closed; };
            openOn(port, pty);
            pty.Write("x");
            while (port.IsOpen() && port.InQueCount() == 0 && recorder.Data.isEmpty()) {
            }
            port.Close();
            closed = true;
            QCoreApplication::processEvents();
            pty.Read(0);
        }
        QCOMPARE(late, 0);

        // Destroyed with a delivery pending: nothing may reach the dead object.
        for (int i = 0; i < 200; ++i) {
            auto port = std::make_unique<TSpComm>();
            port->OnRxBuf = [](TSpComm*, const uint8_t*, int) { QFAIL("delivered after destruction"); };
            TRecorder recorder;
            recorder.SetComm(port.get());
            openOn(*port, pty);
            pty.Write("y");
            while (port->InQueCount() == 0) {
            }
            port.reset();
            QCoreApplication::processEvents();
        }

        // Closed from inside its own delivery, and from a worker while the main
        // thread delivers.
        TSpComm port;
        TRecorder recorder;
        recorder.SetComm(&port);
        port.OnRxBuf = [&](TSpComm* sender, const uint8_t*, int) { sender->Close(); };
        openOn(port, pty);
        pty.Write("z");
        QVERIFY(waitFor([&] { return !port.IsOpen(); }));
        port.OnRxBuf = [&](TSpComm*, const uint8_t*, int) {
            std::atomic<bool> done{false};
            std::thread worker([&] { port.Close(); done = true; });
            QVERIFY(waitFor([&] { return done.load(); }));
            worker.join();
        };
        port.Open();
        pty.Write("w");
        QVERIFY(waitFor([&] { return !port.IsOpen(); }));
    }

    void thousandCyclesLeaveNothingBehind()
    {
        TPtyPair pty;
        TSpComm port;
        TRecorder recorder;
        recorder.SetComm(&port);
        const int threads = entries("/proc/self/task");
        openOn(port, pty);
        port.Close();
        QVERIFY(waitFor([&] { return entries("/proc/self/task") <= threads; }));
        const int fds = entries("/proc/self/fd");
        for (int i = 0; i < 1000; ++i) {
            port.Open();
            port.WriteChar('c');
            if (i % 100 == 0)
                pty.Write("r");
            QCoreApplication::processEvents();
            port.Close();
            pty.Read(0);
        }
        QVERIFY2(waitFor([&] { return entries("/proc/self/fd") <= fds && entries("/proc/self/task") <= threads; }, 30000),
                 qPrintable(QStringLiteral("fds %1 -> %2, threads %3 -> %4")
                                .arg(fds).arg(entries("/proc/self/fd")).arg(threads).arg(entries("/proc/self/task"))));
    }
};

QTEST_GUILESS_MAIN(TestSpComm)
#include "test_spcomm.moc"
