// The Windows program under wine against the Linux emulated unit: the unit's
// pseudo-terminal is a COM port of a wine prefix of this test's own, and
// parlotel.exe runs its commands there, and its window offscreen. Login and a
// full read (the export, byte for byte as Linux writes it), a write read back,
// an upload and a download with the same bytes, the port number from the
// registry, a wrong password, a port the computer lacks, and the unit dying in
// the middle of a command: plain messages, nothing hangs, the user's file kept.
// And the network through the program's Winsock side: the unit's own TCP, and
// the real ser2net in front of its pseudo-terminal, raw and with RFC 2217.
// And the demo with the Windows build of the unit; messages in a file as UTF-8.
#include "Ser2net.h"
#include "TestFiles.h"
#include "TestSupport.h"
#include "UnitClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>

using namespace TestSupport;

namespace {

constexpr int ProgramMs = 120000;
constexpr int ComPort = 5;
const QString WindowsBuild = QStringLiteral(PARLOTEL_WINDOWS_BUILD);

struct TRun {
    int Exit = -1;
    QByteArray Out;
    QByteArray Errors;
};

QString windowsPath(const QString& path)
{
    return QStringLiteral("Z:") + QDir::toNativeSeparators(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray expected(const char* name)
{
    return readFile(qEnvironmentVariable("PARLOTEL_TEST_DATA") + QLatin1Char('/') + QLatin1String(name));
}

} // namespace

class TestWindowsEndToEnd : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    std::unique_ptr<TUnitProcess> unit;

    QString path(const QString& name) const { return dir.filePath(name); }
    QString prefix() const { return path(QStringLiteral("prefix")); }

    // A program of the prefix (wine's own tools, or parlotel.exe) with args.
    // during, when given, is called at least twice a second while it runs.
    TRun wine(const QStringList& args, const QStringList& environment = {}, const std::function<void()>& during = {})
    {
        TChildProcess program;
        TChildOptions options;
        options.Environment = QStringList{QStringLiteral("PARLOTEL_WINEPREFIX=") + prefix()} + environment;
        TRun result;
        if (!program.Start(WindowsBuild + QStringLiteral("/wine-run"), args, options))
            return result;
        program.CloseInput();
        QDeadlineTimer deadline(ProgramMs);
        while (!deadline.hasExpired()) {
            const QByteArray more = program.Read(500);
            result.Out += more;
            result.Errors += program.ReadErrors();
            if (during)
                during();
            if (more.isEmpty() && !program.Running())
                break;
        }
        result.Exit = program.Wait(1000);
        result.Errors += program.ReadErrors();
        return result;
    }

    TRun parlotel(const QStringList& args, const QStringList& environment = {},
                  const std::function<void()>& during = {})
    {
        return wine(QStringList{WindowsBuild + QStringLiteral("/src/parlotel.exe")} + args, environment, during);
    }

    TRun reg(const QStringList& args) { return wine(QStringList{QStringLiteral("reg")} + args); }

    // A fresh unit in its factory state on COM5 of the prefix. Wine reads its
    // port table when its server starts, so the server is let go first.
    void startUnit()
    {
        unit = std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit->Pty().isEmpty());
        const TRun mapped = reg({QStringLiteral("add"), QStringLiteral("HKLM\\Software\\Wine\\Ports"), QStringLiteral("/v"),
                                 QStringLiteral("COM%1").arg(ComPort), QStringLiteral("/d"), unit->Pty(),
                                 QStringLiteral("/f")});
        QVERIFY2(mapped.Exit == 0, mapped.Errors.constData());
        TChildProcess server;
        TChildOptions options;
        options.Environment = {QStringLiteral("WINEPREFIX=") + prefix()};
        QVERIFY(server.Start(QStringLiteral("/usr/lib/wine/wineserver"), {QStringLiteral("-w")}, options));
        QVERIFY(server.Wait(60000) == 0);
    }

    QStringList onUnit(const QString& password = QStringLiteral("1234")) const
    {
        return {QStringLiteral("--port"), QString::number(ComPort), QStringLiteral("--password"), password};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(WindowsBuild + QStringLiteral("/src/parlotel.exe")));
        // The prefix is made by the first program run in it.
        const TRun made = wine({QStringLiteral("wineboot"), QStringLiteral("--init")});
        QCOMPARE(made.Exit, 0);
    }

    // The prefix's own server and services end with the test.
    void cleanupTestCase()
    {
        TChildProcess server;
        TChildOptions options;
        options.Environment = {QStringLiteral("WINEPREFIX=") + prefix()};
        if (server.Start(QStringLiteral("/usr/lib/wine/wineserver"), {QStringLiteral("-k")}, options))
            server.Wait(30000);
    }

    void init() { startUnit(); }
    void cleanup() { unit.reset(); }

    void exportIsLinuxsByteForByte()
    {
        const TRun r = parlotel(QStringList{QStringLiteral("--export"), windowsPath(path("system.txt"))} + onUnit());
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(readFile(path("system.txt")), expected("export_factory_system.txt"));
    }

    // Through Winsock: the unit serving raw TCP itself. The same read and the
    // same export as over the COM port; a refused connection and a name that
    // does not resolve end plainly with the address and the system's reason.
    void overTcpAsOverTheComPort()
    {
        TUnitProcess overTcp({QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("--tcp"),
                              QStringLiteral("127.0.0.1:0")},
                             false);
        const QString address = overTcp.Pty();
        QVERIFY2(address.startsWith(QStringLiteral("tcp://127.0.0.1:")), qPrintable(address));
        const QStringList onTcp = {QStringLiteral("--device"), address, QStringLiteral("--password"),
                                   QStringLiteral("1234")};
        const TRun viaCom = parlotel(QStringList{QStringLiteral("--get"), QStringLiteral("15")} + onUnit());
        QVERIFY2(viaCom.Exit == 0, viaCom.Errors.constData());
        const TRun viaTcp = parlotel(QStringList{QStringLiteral("--get"), QStringLiteral("15")} + onTcp);
        QVERIFY2(viaTcp.Exit == 0, viaTcp.Errors.constData());
        QVERIFY(!viaTcp.Out.trimmed().isEmpty());
        QCOMPARE(viaTcp.Out, viaCom.Out);
        const TRun exported = parlotel(QStringList{QStringLiteral("--export"), windowsPath(path("tcp.txt"))} + onTcp);
        QVERIFY2(exported.Exit == 0, exported.Errors.constData());
        QCOMPARE(readFile(path("tcp.txt")), expected("export_factory_system.txt"));
    }

    void networkFaultsToldPlainly()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
        QElapsedTimer clock;
        clock.start();
        TRun r = parlotel({QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--device"), refused,
                           QStringLiteral("--password"), QStringLiteral("1234")});
        QCOMPARE(r.Exit, 1);
        QVERIFY2(r.Errors.contains(refused.toUtf8()), r.Errors.constData());
        // Refused at once, not given up after the time limit for a silent host.
        QVERIFY2(clock.elapsed() < 30000, QByteArray::number(clock.elapsed()).constData());

        const QString unknown = QStringLiteral("rfc2217://parlotel-unit.invalid:4001");
        r = parlotel({QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--device"), unknown,
                      QStringLiteral("--password"), QStringLiteral("1234")});
        QCOMPARE(r.Exit, 1);
        QVERIFY2(r.Errors.contains(unknown.toUtf8()), r.Errors.constData());
    }

    // What a serial device server adds, through Winsock: the export as Linux
    // writes it, a write read back, and a file of nothing but 0xFF bytes up
    // and down unchanged (over Telnet each is doubled out and undoubled in).
    void throughSer2net_data()
    {
        QTest::addColumn<int>("accepter");
        QTest::newRow("tcp") << int(TSer2net::RawTcp);
        QTest::newRow("rfc2217") << int(TSer2net::Rfc2217);
    }

    void throughSer2net()
    {
        QFETCH(int, accepter);
        TSer2net server(dir.path(), TSer2net::TAccepter(accepter), unit->Pty());
        QVERIFY(server.Start());
        const QStringList onServer = {QStringLiteral("--device"), server.Address(), QStringLiteral("--password"),
                                      QStringLiteral("1234")};
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        TRun r = parlotel(QStringList{QStringLiteral("--export"), windowsPath(path(tag + QStringLiteral(".txt")))}
                          + onServer);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(readFile(path(tag + QStringLiteral(".txt"))), expected("export_factory_system.txt"));

        r = parlotel(QStringList{QStringLiteral("--set"), QStringLiteral("12=150")} + onServer);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        r = parlotel(QStringList{QStringLiteral("--get"), QStringLiteral("12")} + onServer);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(r.Out.trimmed(), QByteArray("150"));

        const QByteArray ones(3000, char(0xFF));
        const QString sent = path(tag + QStringLiteral("-up.pcm"));
        const QString received = path(tag + QStringLiteral("-down.pcm"));
        QVERIFY(WriteTestFile(sent, ones));
        r = parlotel(QStringList{QStringLiteral("--upload"), QStringLiteral("menu:3"), windowsPath(sent)} + onServer);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        r = parlotel(QStringList{QStringLiteral("--download"), QStringLiteral("menu:3"), windowsPath(received)}
                     + onServer);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(readFile(received), ones);
    }

    void writeThenReadBack()
    {
        TRun r = parlotel(QStringList{QStringLiteral("--set"), QStringLiteral("12=150")} + onUnit());
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        r = parlotel(QStringList{QStringLiteral("--get"), QStringLiteral("12")} + onUnit());
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(r.Out.trimmed(), QByteArray("150"));
    }

    void uploadThenDownloadTheSameBytes()
    {
        const QByteArray sound = SoundBytes(20000 + 333, 7);
        QVERIFY(WriteTestFile(path("up.pcm"), sound));
        TRun r = parlotel(QStringList{QStringLiteral("--upload"), QStringLiteral("menu:7"), windowsPath(path("up.pcm"))}
                          + onUnit());
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        r = parlotel(QStringList{QStringLiteral("--download"), QStringLiteral("menu:7"), windowsPath(path("down.pcm"))}
                     + onUnit());
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(readFile(path("down.pcm")), sound);
    }

    void portNumberFromTheRegistry()
    {
        const TRun stored = reg({QStringLiteral("add"), QStringLiteral("HKCU\\Software\\pt71qm"), QStringLiteral("/v"),
                                 QStringLiteral("COMPort"), QStringLiteral("/d"), QString::number(ComPort),
                                 QStringLiteral("/f")});
        QCOMPARE(stored.Exit, 0);
        const TRun r = parlotel({QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--password"),
                                 QStringLiteral("1234")});
        QVERIFY2(r.Exit == 0, r.Errors.constData());
    }

    void wrongPasswordAndMissingPort()
    {
        TRun r = parlotel(QStringList{QStringLiteral("--get"), QStringLiteral("12")} + onUnit(QStringLiteral("9999")));
        QCOMPARE(r.Exit, 1);
        QVERIFY(!r.Errors.isEmpty());
        r = parlotel({QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--port"), QStringLiteral("7"),
                      QStringLiteral("--password"), QStringLiteral("1234")});
        QCOMPARE(r.Exit, 1);
        QVERIFY2(r.Errors.contains("COM7"), r.Errors.constData());
    }

    void theUnitDyingMidExportEndsItPlainly()
    {
        const QString target = path("kept.txt");
        QVERIFY(WriteTestFile(target, "the user's earlier export\r\n"));
        // Killed once the program is well into its reads: the line is gone
        // as when a USB adapter is pulled out.
        bool killed = false;
        const auto killMidway = [&] {
            static const QRegularExpression count(QStringLiteral("received=(\\d+)"));
            if (!killed && count.match(QString::fromLatin1(unit->Control("count"))).captured(1).toInt() > 300) {
                ::kill(pid_t(unit->Pid()), SIGKILL);
                killed = true;
            }
        };
        QElapsedTimer clock;
        clock.start();
        const TRun r = parlotel(QStringList{QStringLiteral("--export"), windowsPath(target)} + onUnit(), {}, killMidway);
        QVERIFY(killed);
        QVERIFY2(r.Exit == 1 || r.Exit == 2, r.Errors.constData());
        QVERIFY2(clock.elapsed() < 60000, "the program hung on the lost line");
        // The program's own lines (wine's server may add its own when the
        // line goes): a plain message, no diagnostics of the libraries.
        QByteArrayList own;
        for (const QByteArray& line : r.Errors.split('\n'))
            if (line.startsWith("parlotel: "))
                own << line;
        QVERIFY2(!own.isEmpty(), r.Errors.constData());
        QVERIFY2(!own.join('\n').contains("Qt"), own.join('\n').constData());
        QCOMPARE(readFile(target), QByteArray("the user's earlier export\r\n"));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral(".kept*")}, QDir::Files | QDir::Hidden), QStringList());
    }

    // Qt's offscreen platform has no fonts under wine (its layouts then never
    // settle): the window is drawn by the windows platform on the display.
    // The demo's window too, as the Start menu's shortcut opens it.
    void windowOpens_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("plain") << QStringList{};
        QTest::newRow("demo") << QStringList{QStringLiteral("--demo")};
    }

    void windowOpens()
    {
        QFETCH(QStringList, args);
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs a display (Xvfb) for wine's windows");
        const TRun r = parlotel(args, {QStringLiteral("QT_QPA_PLATFORM=windows"), QStringLiteral("PARLOTEL_EXIT_WHEN_SHOWN=1")});
        QCOMPARE(r.Exit, 0);
        QCOMPARE(r.Out.trimmed(), QByteArray("shown"));
    }

    // The demo's own unit, the Windows build of it, on the loopback: a
    // setting, and a recording with a Cyrillic name there and back through
    // the program's engine on both sides. The unit ends with the program, in
    // order (its last words are its byte counts).
    void demoRunsItsOwnUnit()
    {
        const QStringList utf8{QStringLiteral("LANG=C.UTF-8")};
        TRun r = parlotel({QStringLiteral("--demo-reset"), QStringLiteral("--get"), QStringLiteral("15"),
                           QStringLiteral("--password"), QStringLiteral("1234")});
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(r.Out.trimmed(), QByteArray("2"));
        const QByteArray sound = SoundBytes(3000, 5);
        const QString name = QStringLiteral("привет мир.pcm");
        QVERIFY(WriteTestFile(path(name), sound));
        r = parlotel({QStringLiteral("--demo"), QStringLiteral("--upload"), QStringLiteral("menu:7"), windowsPath(path(name)),
                      QStringLiteral("--password"), QStringLiteral("1234")}, utf8);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        r = parlotel({QStringLiteral("--demo"), QStringLiteral("--download"), QStringLiteral("menu:7"),
                      windowsPath(path(QStringLiteral("назад.pcm"))), QStringLiteral("--password"), QStringLiteral("1234")}, utf8);
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(readFile(path(QStringLiteral("назад.pcm"))), sound);

        QStringList logs;
        for (QDirIterator it(path(QStringLiteral("prefix/drive_c/users")), {QStringLiteral("unit.log")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            logs << it.next();
        QCOMPARE(logs.size(), 1);
        QVERIFY2(readFile(logs.front()).trimmed().split('\n').last().startsWith("parlotel-unit: bytes"), qPrintable(logs.front()));
        const QDir voice(QFileInfo(logs.front()).dir().filePath(QStringLiteral("unit.voice/menu-7")));
        QCOMPARE(voice.entryList(QDir::Files), QStringList{QStringLiteral("привет_мир.pcm")});
    }

    // Redirected, the Russian messages are the Linux build's UTF-8 bytes (with
    // Windows' line end), not the '?' of a code page without Cyrillic.
    void redirectedMessagesAreUtf8()
    {
        const TRun r = parlotel({QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--port"),
                                 QStringLiteral("7"), QStringLiteral("--password"), QStringLiteral("1234")});
        QCOMPARE(r.Exit, 1);
        QCOMPARE(r.Errors, QByteArray("parlotel: COM7: Не удалось открыть порт.\r\n"
                                      "parlotel: Specified device not found (COM7).\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestWindowsEndToEnd)
#include "test_windows_e2e.moc"
