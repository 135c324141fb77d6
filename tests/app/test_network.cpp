// The program reaching the emulated unit across the network, as a user runs
// it: through the real ser2net (its raw tcp accepter and its telnet(rfc2217)
// one, started here on the loopback in front of the unit's pseudo-terminal)
// a login, a setting read and written, the export byte for byte as over the
// pseudo-terminal, uploads and downloads of an all-0xFF and a random file;
// ser2net killed in the middle of a download and of the export (the program
// ends with a plain message, the user's file is kept); ser2net stopped and
// started between two commands; ser2net turning the program away while
// another client holds the port (its reason quoted). Without ser2net: the
// unit's own --tcp, with a second client refused; a server that closes at
// once, silent or with words not fit to show; a refused port and a name that
// does not resolve, each named with the system's reason; bad addresses
// refused with exit code 3 before anything is sent.
#include "Ser2net.h"
#include "TestFiles.h"
#include "TestSupport.h"
#include "UnitClient.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <thread>

using namespace TestSupport;

namespace {

using TRun = TProgramRun;

constexpr int ProgramMs = 120000;
constexpr int StartMs = 10000;
constexpr int Usage = 3;
constexpr int ConnectFailed = 1;

// A server that closes every connection at once, after saying words, in a
// thread of its own.
class TClosingServer {
public:
    explicit TClosingServer(const QByteArray& words = {})
        : m_thread([this, words] {
              QTcpServer server;
              server.listen(QHostAddress::LocalHost);
              m_port.store(server.serverPort());
              while (!m_stop.load()) {
                  if (!server.waitForNewConnection(100))
                      continue;
                  QTcpSocket* client = server.nextPendingConnection();
                  client->write(words);
                  client->waitForBytesWritten(StartMs);
                  delete client; // closes it
              }
          })
    {
        while (m_port.load() < 0)
            std::this_thread::yield();
    }
    ~TClosingServer()
    {
        m_stop.store(true);
        m_thread.join();
    }
    int Port() const { return m_port.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_port{-1};
    std::thread m_thread;
};

qint64 unitCount(TUnitProcess& unit, const char* which)
{
    const QRegularExpression count(QStringLiteral("%1=(\\d+)").arg(QLatin1String(which)));
    return count.match(QString::fromLatin1(unit.Control("count"))).captured(1).toLongLong();
}

} // namespace

class TestNetwork : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }

    static void start(TChildProcess& program, const QStringList& args, const QString& device)
    {
        QVERIFY(program.Start(QStringLiteral(PARLOTEL_EXE),
                              args + QStringList{QStringLiteral("--password"), QStringLiteral("1234"),
                                                 QStringLiteral("--device"), device}));
        program.CloseInput();
    }

    static TRun finish(TChildProcess& program) { return FinishRun(program, ProgramMs); }

    static TRun run(const QStringList& args, const QString& device)
    {
        TChildProcess program;
        start(program, args, device);
        return finish(program);
    }

    // Everything a user does, the same over the network as over the cable.
    void wholeSessionOver(TSer2net::TAccepter accepter)
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("--state"),
                           path(QStringLiteral("unit-%1.json").arg(int(accepter)))});
        QVERIFY(!unit.Pty().isEmpty());
        TSer2net server(dir.path(), accepter, unit.Pty());
        QVERIFY(server.Start());
        const QString address = server.Address();

        TRun r = run({QStringLiteral("--set"), QStringLiteral("12=150"), QStringLiteral("--trace"),
                      path(QStringLiteral("trace.txt"))},
                     address);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        // The trace names the address; no refusal of the COM port option is noted.
        const QByteArray trace = ReadTestFile(path(QStringLiteral("trace.txt")));
        QVERIFY2(trace.contains(" : connected to " + address.toUtf8() + '\n'), trace.constData());
        QCOMPARE(trace.count(" : "), 1);
        r = run({QStringLiteral("--get"), QStringLiteral("12")}, address);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(r.Out, QByteArray("150\n"));

        QVERIFY2(run({QStringLiteral("--export"), path(QStringLiteral("net.txt"))}, address).Exit == 0, "export");
        QVERIFY2(run({QStringLiteral("--export"), path(QStringLiteral("pty.txt"))}, unit.Pty()).Exit == 0, "export");
        const QByteArray exported = ReadTestFile(path(QStringLiteral("pty.txt")));
        QVERIFY(exported.size() > 1000);
        QCOMPARE(ReadTestFile(path(QStringLiteral("net.txt"))), exported);

        const QByteArray files[] = {QByteArray(20000, char(0xFF)), SoundBytes(30011, quint32(accepter) + 5)};
        for (const QByteArray& sound : files) {
            QVERIFY(WriteTestFile(path(QStringLiteral("up.pcm")), sound));
            r = run({QStringLiteral("--upload"), QStringLiteral("menu:7"), path(QStringLiteral("up.pcm"))}, address);
            QVERIFY2(r.Exit == 0, r.Errors.constData());
            r = run({QStringLiteral("--download"), QStringLiteral("menu:7"), path(QStringLiteral("down.pcm"))}, address);
            QVERIFY2(r.Exit == 0, r.Errors.constData());
            QVERIFY(ReadTestFile(path(QStringLiteral("down.pcm"))) == sound);
        }
    }

    // Runs args on the paced unit behind ser2net, kills ser2net once the
    // unit has sent `after` bytes, and returns the program's run.
    TRun killedAfter(const QStringList& args, qint64 after)
    {
        TUnitProcess unit({QStringLiteral("--transfer-timeout"), QStringLiteral("3000")}); // paced at 19200
        if (unit.Pty().isEmpty())
            return {};
        TSer2net server(dir.path(), TSer2net::Rfc2217, unit.Pty());
        if (!server.Start())
            return {};
        TChildProcess program;
        start(program, args, server.Address());
        QDeadlineTimer deadline(ProgramMs);
        while (unitCount(unit, "sent") < after && !deadline.hasExpired() && program.Running())
            QThread::msleep(20); // the condition is the unit's count
        server.Kill();
        QElapsedTimer ended;
        ended.start();
        TRun r = finish(program);
        // Waits end at once, as for an unplugged adapter: no time limit of
        // the session or of the transfer has to run out first.
        QTest::qVerify(ended.elapsed() < 5000, "ended at once", qPrintable(QString::number(ended.elapsed())), __FILE__, __LINE__);
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        TChildProcess probe;
        QVERIFY2(probe.Start(QStringLiteral("ser2net"), {QStringLiteral("-v")}), "ser2net is not installed (scripts/setup)");
        probe.Wait(StartMs);
    }

    void rawTcpThroughSer2net() { wholeSessionOver(TSer2net::RawTcp); }
    void rfc2217ThroughSer2net() { wholeSessionOver(TSer2net::Rfc2217); }

    void ser2netKilledInADownload_keepsTheFile()
    {
        const QString target = path(QStringLiteral("kept.pcm"));
        QVERIFY(WriteTestFile(target, "the user's own"));
        const TRun r = killedAfter({QStringLiteral("--download"), QStringLiteral("menu:0"), target}, 3000);
        QVERIFY2(r.Exit != 0 && r.Exit != -1, r.Errors.constData());
        QVERIFY2(r.Errors.startsWith("parlotel: "), r.Errors.constData());
        QCOMPARE(ReadTestFile(target), QByteArray("the user's own"));
    }

    void ser2netKilledInTheExport_endsPlainly()
    {
        const QString target = path(QStringLiteral("cut.txt"));
        QVERIFY(WriteTestFile(target, "earlier export"));
        const TRun r = killedAfter({QStringLiteral("--export"), target}, 600);
        QVERIFY2(r.Exit != 0 && r.Exit != -1, r.Errors.constData());
        QVERIFY2(r.Errors.startsWith("parlotel: "), r.Errors.constData());
        QCOMPARE(ReadTestFile(target), QByteArray("earlier export"));
    }

    void ser2netRestartedBetweenCommands()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const int port = FreeLoopbackPort();
        const QString address = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
        {
            TSer2net server(dir.path(), TSer2net::RawTcp, unit.Pty(), port);
            QVERIFY(server.Start());
            QCOMPARE(run({QStringLiteral("--get"), QStringLiteral("12")}, address).Exit, 0);
            server.Stop();
            const TRun r = run({QStringLiteral("--get"), QStringLiteral("12")}, address);
            QCOMPARE(r.Exit, ConnectFailed);
            QVERIFY2(r.Errors.contains(address.toUtf8()) && r.Errors.contains(strerror(ECONNREFUSED)), r.Errors.constData());
        }
        TSer2net again(dir.path(), TSer2net::RawTcp, unit.Pty(), port);
        QVERIFY(again.Start());
        const TRun r = run({QStringLiteral("--get"), QStringLiteral("12")}, address);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
    }

    void unitServesTcpItself_oneClientAtATime()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("--tcp"),
                           QStringLiteral("127.0.0.1:0")},
                          false);
        QVERIFY2(unit.Pty().startsWith(QStringLiteral("tcp://127.0.0.1:")), qPrintable(unit.Pty()));
        const int port = unit.Pty().section(u':', -1).toInt();
        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(first.waitForConnected(StartMs));
        QTcpSocket second;
        second.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(second.waitForConnected(StartMs));
        QVERIFY(second.state() == QAbstractSocket::UnconnectedState || second.waitForDisconnected(StartMs));
        first.disconnectFromHost();
        // The first one gone, the next is served.
        QTRY_VERIFY_WITH_TIMEOUT(run({QStringLiteral("--get"), QStringLiteral("12")}, unit.Pty()).Exit == 0, StartMs);
    }

    // ser2net serves one client (max-connections 1): the next hears "Port
    // already in use" and is closed, raw and over Telnet alike.
    void secondClientTurnedAwayBySer2net_data()
    {
        QTest::addColumn<int>("accepter");
        QTest::newRow("raw") << int(TSer2net::RawTcp);
        QTest::newRow("rfc2217") << int(TSer2net::Rfc2217);
    }

    void secondClientTurnedAwayBySer2net()
    {
        QFETCH(int, accepter);
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const int port = FreeLoopbackPort();
        TSer2net server(dir.path(), TSer2net::TAccepter(accepter), unit.Pty(), port);
        QVERIFY(server.Start());
        const QString address = server.Address();
        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(first.waitForConnected(StartMs));

        const TRun r = run({QStringLiteral("--get"), QStringLiteral("12")}, address);
        QCOMPARE(r.Exit, ConnectFailed);
        QCOMPARE(QString::fromUtf8(r.Errors),
                 QStringLiteral("parlotel: %1: Устройство не обнаружено.\n"
                                "parlotel: Сервер %1 отказал в соединении: \"Port already in use\".\n"
                                "parlotel: Если к нему уже подключена другая программа, закройте ее и повторите.\n")
                     .arg(address));
    }

    void networkFaultsToldPlainly()
    {
        TClosingServer closing;
        const QString closes = QStringLiteral("tcp://127.0.0.1:%1").arg(closing.Port());
        TRun r = run({QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--trace"),
                      path(QStringLiteral("closed.txt"))},
                     closes);
        QCOMPARE(r.Exit, ConnectFailed);
        QVERIFY2(r.Errors.startsWith("parlotel: "), r.Errors.constData());
        const QByteArray trace = ReadTestFile(path(QStringLiteral("closed.txt")));
        QVERIFY2(trace.contains(" : " + closes.toUtf8() + ": the server closed the connection\n"), trace.constData());
        // The unit's own words stay; what happened follows, with the address.
        QVERIFY2(r.Errors.startsWith("parlotel: " + closes.toUtf8() + ": Устройство не обнаружено.\nparlotel: Сервер "
                                     + closes.toUtf8() + " закрыл соединение.\n"),
                 r.Errors.constData());

        // Words a terminal would obey are not shown: only that it closed.
        TClosingServer escaping("\x1b]0;owned\x07\x1b[2J\r\n");
        const QString escapes = QStringLiteral("tcp://127.0.0.1:%1").arg(escaping.Port());
        r = run({QStringLiteral("--get"), QStringLiteral("12")}, escapes);
        QCOMPARE(r.Exit, ConnectFailed);
        QVERIFY2(r.Errors.contains("Сервер " + escapes.toUtf8() + " закрыл соединение.\n"), r.Errors.constData());
        QVERIFY2(!r.Errors.contains('\x1b') && !r.Errors.contains("owned"), r.Errors.constData());

        const QString unknown = QStringLiteral("rfc2217://parlotel-unit.invalid:4001");
        r = run({QStringLiteral("--get"), QStringLiteral("12")}, unknown);
        QCOMPARE(r.Exit, ConnectFailed);
        QVERIFY2(r.Errors.contains(unknown.toUtf8()), r.Errors.constData());
    }

    void badAddressesRefusedBeforeAnything_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("port"); // 0: given as --device, else assigned to COMn
        QTest::newRow("nothing") << "tcp://" << 0;
        QTest::newRow("no port") << "tcp://127.0.0.1" << 0;
        QTest::newRow("port 0") << "rfc2217://127.0.0.1:0" << 0;
        QTest::newRow("port over 65535") << "tcp://127.0.0.1:70000" << 0;
        QTest::newRow("unknown scheme") << "xyz://127.0.0.1:4001" << 0;
        QTest::newRow("assigned to COM3") << "tcp://127.0.0.1:" << 3;
    }

    void badAddressesRefusedBeforeAnything()
    {
        QFETCH(QString, device);
        QFETCH(int, port);
        QStringList args{QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--password"), QStringLiteral("1234")};
        if (port) {
            QSettings(QStringLiteral("pt71qm")).setValue(QStringLiteral("Devices/COM%1").arg(port), device);
            args << QStringLiteral("--port") << QString::number(port);
        } else {
            args << QStringLiteral("--device") << device;
        }
        TChildProcess program;
        QVERIFY(program.Start(QStringLiteral(PARLOTEL_EXE), args));
        program.CloseInput();
        const TRun r = finish(program);
        QSettings(QStringLiteral("pt71qm")).remove(QStringLiteral("Devices"));
        QCOMPARE(r.Exit, Usage);
        QVERIFY2(r.Errors.contains(device.toUtf8() + " is not a network address"), r.Errors.constData());
    }
};

QTEST_GUILESS_MAIN(TestNetwork)
#include "test_network.moc"
