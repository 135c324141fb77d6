// The network device against servers played by the test: addresses read or
// refused with the reason; a refused port and a name that does not resolve
// told with the address and the system's words in the port's open message;
// raw TCP both ways, with the far end's close as a failure only once what it
// sent before was read; RFC 2217 against a scripted server: the line settings
// sent once it agrees, 0xFF doubled out and undoubled in, notifications kept
// out of the data and out of the count of bytes waiting, a refusal of the COM
// port option noted once.
#include "serial/SpComm.h"
#include "serial/SpDevice.h"
#include "serial/SpNetAddress.h"
#include "serial/SpTelnet.h"
#include "TestFiles.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <thread>

using namespace TestSupport;

namespace {

constexpr int WaitMs = 5000;
using T = TSpTelnet;

QString address(const char* scheme, const QTcpServer& server)
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(server.serverPort());
}

// A port nobody listens on: one the system just gave out and took back.
int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QString openError(const QString& name)
{
    TSpComm port;
    port.SetDeviceName(name);
    try {
        port.Open();
    } catch (const ESpCommError& e) {
        return e.Message();
    }
    return {};
}

// Reads from the device until `want` bytes came or the time is up.
QByteArray readDevice(TSpDevice& device, int want)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < want && clock.elapsed() < WaitMs) {
        if (device.Wait(nullptr, TSpDevice::rdReadable, 200) & TSpDevice::rdFailed)
            break;
        uint8_t buffer[256];
        const int n = device.Read(buffer, sizeof buffer);
        if (n > 0)
            got.append(reinterpret_cast<const char*>(buffer), n);
    }
    return got;
}

// Reads from the server's socket until it holds `needle` or the time is up.
QByteArray readSocket(QTcpSocket& socket, const QByteArray& needle)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (!got.contains(needle) && clock.elapsed() < WaitMs) {
        socket.waitForReadyRead(100);
        got += socket.readAll();
    }
    return got;
}

void writeAll(TSpDevice& device, const QByteArray& data)
{
    qsizetype at = 0;
    QElapsedTimer clock;
    clock.start();
    while (at < data.size() && clock.elapsed() < WaitMs) {
        const int n = device.Write(reinterpret_cast<const uint8_t*>(data.constData() + at), int(data.size() - at));
        QVERIFY(n >= 0);
        at += n;
        if (n == 0)
            device.Wait(nullptr, TSpDevice::rdWritable, 200);
    }
    QCOMPARE(at, data.size());
}

// A network device opened on a server the test plays, its notices kept.
struct TOpened {
    std::unique_ptr<TSpDevice> Device;
    QTcpSocket* Far = nullptr;
    QStringList Notices;
    int Code = -1;
};

// Opens scheme://127.0.0.1:PORT while the server's side answers the client's
// Telnet offers with `answer` (nothing for raw TCP): Open waits for that word.
void openAgainst(QTcpServer& server, const char* scheme, const QByteArray& answer, TOpened& opened)
{
    opened.Device = spCreateDevice(address(scheme, server));
    opened.Device->OnNotice = [&opened](const QString& text) { opened.Notices << text; };
    std::thread opener([&] { opened.Code = opened.Device->Open(address(scheme, server)); });
    if (server.waitForNewConnection(WaitMs)) {
        opened.Far = server.nextPendingConnection();
        if (!answer.isEmpty()) {
            readSocket(*opened.Far, ByteValues({T::IAC, T::DO, 3})); // the last offer
            opened.Far->write(answer);
            opened.Far->flush();
        }
    }
    opener.join();
}

} // namespace

class TestNetDevice : public QObject {
    Q_OBJECT
private slots:
    void addressesReadOrRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("reason");
        QTest::newRow("name") << "tcp://unit-room:4001" << "unit-room" << 4001 << "";
        QTest::newRow("ipv4 rfc2217") << "RFC2217://10.0.0.7:2217" << "10.0.0.7" << 2217 << "";
        QTest::newRow("ipv6") << "tcp://[fe80::1%eth0]:65535" << "fe80::1%eth0" << 65535 << "";
        QTest::newRow("nothing") << "tcp://" << "" << 0 << "no host";
        QTest::newRow("no port") << "tcp://host" << "" << 0 << "no port";
        QTest::newRow("empty port") << "tcp://host:" << "" << 0 << "no port";
        QTest::newRow("port 0") << "tcp://host:0" << "" << 0 << "from 1 to 65535";
        QTest::newRow("port too big") << "rfc2217://host:65536" << "" << 0 << "from 1 to 65535";
        QTest::newRow("port not a number") << "tcp://host:40a" << "" << 0 << "from 1 to 65535";
        QTest::newRow("unknown scheme") << "xyz://host:1" << "" << 0 << "unknown scheme \"xyz\"";
        QTest::newRow("bare ipv6") << "tcp://::1:4001" << "" << 0 << "in brackets";
        QTest::newRow("open bracket") << "tcp://[::1:4001" << "" << 0 << "closing bracket";
        QTest::newRow("path after") << "tcp://host:4001/x" << "" << 0 << "from 1 to 65535";
        QTest::newRow("slash in host") << "tcp://unit/room:4001" << "" << 0 << "not a name or an address";
        QTest::newRow("six digits") << "tcp://host:004001" << "" << 0 << "from 1 to 65535";
        QTest::newRow("wide digits") << QString::fromUtf8("tcp://host:\xef\xbc\x94\xef\xbc\x90") << "" << 0 << "from 1 to 65535";
    }

    void addressesReadOrRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, reason);
        QVERIFY(spIsNetworkName(name));
        QString error;
        const std::optional<TSpNetAddress> parsed = spParseNetAddress(name, error);
        QCOMPARE(parsed.has_value(), !host.isEmpty());
        if (parsed) {
            QCOMPARE(parsed->Host, host);
            QCOMPARE(parsed->Port, port);
        } else {
            QVERIFY2(error.contains(reason) && error.contains(name), qPrintable(error));
            // The port refuses it with the same words, and tries nothing.
            QCOMPARE(openError(name), error);
        }
        QVERIFY(!spIsNetworkName(QStringLiteral("/dev/ttyUSB0")));
        QVERIFY(!spIsNetworkName(QStringLiteral("COM2")));
        QVERIFY(!spIsNetworkName(QStringLiteral("://host:1")));
        QVERIFY(!spIsNetworkName(QStringLiteral("1tcp://host:1")));
        QVERIFY(!spIsNetworkName(QStringLiteral("t_p://host:1")));
    }

    void openFailuresNameTheAddressAndTheReason()
    {
        const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort());
        QCOMPARE(openError(refused), QStringLiteral("Can't open specified device %1 (Error %2, %3)")
                                         .arg(refused).arg(ECONNREFUSED).arg(QString::fromLocal8Bit(strerror(ECONNREFUSED))));
        const QString unknown = QStringLiteral("rfc2217://parlotel-unit.invalid:4001");
        const QString message = openError(unknown);
        QVERIFY2(message.startsWith(QStringLiteral("Can't open specified device ") + unknown + QStringLiteral(" (Error "))
                     && message.size() > unknown.size() + 40,
                 qPrintable(message));
    }

    // A server whose queue of connections is full drops the next one's
    // request without an answer, as a host that is not there does.
    void hostThatDoesNotAnswer_givenUpAfterFiveSeconds()
    {
        QTcpServer server;
        server.setListenBacklogSize(0);
        QVERIFY(server.listen(QHostAddress::LocalHost));
        std::vector<std::unique_ptr<QTcpSocket>> fillers;
        for (int i = 0; i < 4; ++i) {
            fillers.push_back(std::make_unique<QTcpSocket>());
            fillers.back()->connectToHost(QHostAddress::LocalHost, server.serverPort());
            fillers.back()->waitForConnected(300);
        }
        const QString name = address("tcp", server);
        QElapsedTimer clock;
        clock.start();
        const QString message = openError(name);
        const qint64 took = clock.elapsed();
        QCOMPARE(message, QStringLiteral("Can't open specified device %1 (Error %2, %3)")
                              .arg(name).arg(ETIMEDOUT).arg(QString::fromLocal8Bit(strerror(ETIMEDOUT))));
        QVERIFY2(took >= 4900 && took < 8000, qPrintable(QString::number(took)));
    }

    void rawBytesBothWays_closeAfterTheLastByte()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        TOpened opened;
        openAgainst(server, "tcp", {}, opened);
        QCOMPARE(opened.Code, 0);
        QVERIFY(opened.Far);
        TSpDevice* device = opened.Device.get();
        QTcpSocket* far = opened.Far;
        QCOMPARE(device->ApplyLineSettings(TSpLineSettings{}), 0);
        QCOMPARE(device->SetModemLines(TSpDevice::mlDtr, true), 0);

        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        writeAll(*device, all);
        QCOMPARE(readSocket(*far, all.right(3)), all);

        far->write(all + "bye");
        far->flush();
        far->disconnectFromHost();
        QVERIFY(far->state() == QAbstractSocket::UnconnectedState || far->waitForDisconnected(WaitMs));
        // What the server sent before it left is read first...
        QCOMPARE(readDevice(*device, int(all.size()) + 3), all + "bye");
        // ...then the close is the device's failure, at once and every time.
        QCOMPARE(device->Wait(nullptr, TSpDevice::rdReadable, WaitMs), int(TSpDevice::rdFailed));
        QCOMPARE(device->Wait(nullptr, TSpDevice::rdFailed, WaitMs), int(TSpDevice::rdFailed));
        QVERIFY(device->Write(reinterpret_cast<const uint8_t*>("x"), 1) < 0);
    }

    void rfc2217AgainstAScriptedServer()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        TOpened opened;
        openAgainst(server, "rfc2217",
                    ByteValues({T::IAC, T::DO, 0, T::IAC, T::WILL, 0, T::IAC, T::DO, 3, T::IAC, T::WILL, 3, T::IAC, T::DO, 44}),
                    opened);
        QCOMPARE(opened.Code, 0);
        QVERIFY(opened.Far);
        TSpDevice* device = opened.Device.get();
        QTcpSocket* far = opened.Far;
        const QStringList& notices = opened.Notices;
        QVERIFY(notices.isEmpty());

        QCOMPARE(device->ApplyLineSettings(TSpLineSettings{}), 0);
        const QByteArray baud = ByteValues({T::IAC, T::SB, 44, 1, 0, 0, 0x4B, 0, T::IAC, T::SE});
        QVERIFY(readSocket(*far, baud).contains(baud));

        // A notification alone is no data: nothing waits to be read.
        far->write(ByteValues({T::IAC, T::SB, 44, 107, 0xB0, T::IAC, T::SE}));
        far->flush();
        QCOMPARE(device->Wait(nullptr, TSpDevice::rdReadable, 300) & TSpDevice::rdReadable, 0);
        int waiting = -1;
        QCOMPARE(device->BytesWaiting(waiting), 0);
        QCOMPARE(waiting, 0);

        const QByteArray ones(1000, char(0xFF));
        writeAll(*device, ones);
        QCOMPARE(readSocket(*far, QByteArray(2000, char(0xFF))), QByteArray(2000, char(0xFF)));
        far->write(QByteArray(2000, char(0xFF)) + ByteValues({T::IAC, T::SB, 44, 106, 0x60, T::IAC, T::SE}) + "z");
        far->flush();
        QCOMPARE(readDevice(*device, 1001), ones + "z");

        // A purge reaches the server's buffers.
        QCOMPARE(device->Purge(TSpDevice::puClearInput | TSpDevice::puClearOutput), 0);
        const QByteArray purge = ByteValues({T::IAC, T::SB, 44, 12, 3, T::IAC, T::SE});
        QVERIFY(readSocket(*far, purge).contains(purge));
    }

    void rfc2217Refused_goesOnAndSaysSoOnce()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        TOpened opened;
        openAgainst(server, "rfc2217", ByteValues({T::IAC, T::DONT, 44, T::IAC, T::DONT, 44}), opened);
        QCOMPARE(opened.Code, 0);
        QVERIFY(opened.Far);
        TSpDevice* device = opened.Device.get();
        QTcpSocket* far = opened.Far;
        const QStringList& notices = opened.Notices;
        QCOMPARE(notices.size(), 1);
        QCOMPARE(device->ApplyLineSettings(TSpLineSettings{}), 0);
        writeAll(*device, "ok");
        QCOMPARE(readSocket(*far, "ok"), QByteArray("ok")); // no command before the data
        QCOMPARE(notices.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestNetDevice)
#include "test_netdevice.moc"
