// Voice recordings moved by YModem between the unit and the program's side
// (lrzsz run by the test): names, contents and result lines, faults,
// transfers that never start, and no lrzsz left behind. Each runs with both
// of the unit's peers: lrzsz, and the program's own engine that Windows uses.
#include "UnitClient.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace TestSupport;

namespace {

const QByteArray System = "1234";
// "привет мир.pcm" in Windows-1251: the blank cannot stay, the letters must.
const QByteArray CyrillicName = "\xEF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0.pcm";
const QByteArray CyrillicStored = "\xEF\xF0\xE8\xE2\xE5\xF2_\xEC\xE8\xF0.pcm";

QByteArray RandomBytes(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (char& c : data)
        c = char(QRandomGenerator::global()->bounded(256));
    return data;
}

// Writes a file whose name is raw bytes, as a Windows-1251 name arrives.
bool WriteRaw(const QString& folder, const QByteArray& name, const QByteArray& data)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool ok = fd >= 0 && ::write(fd, data.constData(), size_t(data.size())) == data.size();
    if (fd >= 0)
        ::close(fd);
    return ok;
}

QByteArray ReadRaw(const QString& folder, const QByteArray& name)
{
    QByteArray data;
    const int fd = ::open((QFile::encodeName(folder) + '/' + name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "(missing)";
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        data.append(buffer, n);
    ::close(fd);
    return data;
}

} // namespace

class TestUnitTransfer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase_data();
    void init();
    void cleanup();

    void uploadThenDownloadInTheSystemMenu();
    void menuRecordingKeepsItsWindows1251Name();
    void injectedErrorKeepsTheOldRecording();
    void transfersThatNeverRunEndWithAnError();
    void stoppingTheUnitTakesLrzszAlong_data();
    void stoppingTheUnitTakesLrzszAlong();

private:
    void Start(const QStringList& extra = {});
    // Runs an lrzsz command in folder as the program's side of the transfer.
    int Peer(const QString& command, const QString& folder);
    // The unit's result after a transfer, checked to be followed by prompt.
    QByteArray Result(const QByteArray& prompt);
    bool Request(const QByteArray& command, int code);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TUnitProcess> m_unit;
    std::unique_ptr<TLine> m_line;
};

void TestUnitTransfer::initTestCase_data()
{
    QTest::addColumn<QString>("peer");
    QTest::newRow("lrzsz") << QStringLiteral("lrzsz");
    QTest::newRow("engine") << QStringLiteral("engine");
}

void TestUnitTransfer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir(m_dir->path()).mkpath(QStringLiteral("pc"));
    Start();
}

void TestUnitTransfer::cleanup()
{
    m_line.reset();
    m_unit.reset();
    // QTemporaryDir cannot remove files whose names are not UTF-8.
    TChildProcess rm;
    QVERIFY(rm.Start(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir->path()}));
    QCOMPARE(rm.Wait(10000), 0);
    m_dir.reset();
}

void TestUnitTransfer::Start(const QStringList& extra)
{
    m_line.reset();
    m_unit.reset();
    QFETCH_GLOBAL(QString, peer);
    m_unit = std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--ymodem"), peer, QStringLiteral("--baud"), QStringLiteral("0"),
                                                        QStringLiteral("--result-delay"), QStringLiteral("100"),
                                                        QStringLiteral("--state"), m_dir->filePath("state.json")}
                                            + extra);
    if (m_unit->Pty().isEmpty() && m_unit->StandardError().contains("--ymodem takes"))
        QSKIP("this build of the unit has no such peer (a ThreadSanitizer build has no engine)");
    QVERIFY2(!m_unit->Pty().isEmpty(), m_unit->StandardError().constData());
    m_line = std::make_unique<TLine>(m_unit->Pty());
    QVERIFY(m_line->IsOpen());
}

int TestUnitTransfer::Peer(const QString& command, const QString& folder)
{
    TChildOptions options;
    options.Folder = folder;
    TChildProcess peer;
    // Through the shell, so that a raw Windows-1251 file name reaches sb unchanged.
    if (!peer.Start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec ") + command}, options))
        return -2;
    return m_line->Relay(peer, 60000);
}

QByteArray TestUnitTransfer::Result(const QByteArray& prompt)
{
    if (!m_line->ReadThrough("TRANSFER_RESULT:", 30000))
        return "(no result)";
    const QByteArray result = m_line->ReadThrough("\r").value_or("(no line end)").chopped(1);
    return m_line->Prompt() == prompt ? result : "(no prompt after) " + result;
}

bool TestUnitTransfer::Request(const QByteArray& command, int code)
{
    return m_line->SendAndWaitEcho(command + '\r') && m_line->WaitForText("N")
        && m_line->SendAndWaitEcho(QByteArray::number(code) + '\r');
}

void TestUnitTransfer::uploadThenDownloadInTheSystemMenu()
{
    const QString pc = m_dir->filePath("pc");
    const QByteArray data = RandomBytes(5000); // ends in a short block
    QVERIFY(WriteRaw(pc, "Greet1.PCM", data));
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QVERIFY(Request("SET", 62));
    QCOMPARE(Peer(QStringLiteral("sb -k -q Greet1.PCM"), pc), 0);
    QCOMPARE(Result("PC SYS>"), QByteArray("OK"));
    QCOMPARE(m_line->GetParam(62), QByteArray("MSG=Greet1.PCM 5000"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));

    QVERIFY(QFile::remove(pc + QStringLiteral("/Greet1.PCM")));
    QVERIFY(Request("DLMSG", 62));
    QVERIFY(m_line->WaitForText("START", 2000));
    QCOMPARE(Peer(QStringLiteral("rb -E -u -q"), pc), 0);
    QCOMPARE(Result("PC SYS>"), QByteArray("OK"));
    QCOMPARE(ReadRaw(pc, "Greet1.PCM"), data);

    QCOMPARE(m_line->Command("CLEAR", "62"), QByteArray("OK"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->GetParam(62), QByteArray("MSG="));
}

void TestUnitTransfer::menuRecordingKeepsItsWindows1251Name()
{
    QFETCH_GLOBAL(QString, peer);
    if (peer == QLatin1String("engine"))
        QSKIP("on Linux the engine names a file in the system's encoding, not in the bytes that came (Windows keeps them)");
    const QString pc = m_dir->filePath("pc");
    const QByteArray data = RandomBytes(3072); // ends exactly on a block
    QVERIFY(WriteRaw(pc, CyrillicName, data));
    QVERIFY(m_line->LoginTo(System, "MENU"));
    QVERIFY(Request("ULMSG", 7));
    QCOMPARE(Peer(QStringLiteral("sb -k -q ./*"), pc), 0);
    QCOMPARE(Result("PC MENU>"), QByteArray("OK"));

    QCOMPARE(ReadRaw(m_dir->filePath("state.voice/menu-7"), CyrillicStored), data);

    Start(); // the recording survives a restart
    QVERIFY(m_line->LoginTo(System, "MENU"));
    QCOMPARE(m_line->Command("GET", "7"), QByteArray("TC=3"));
    QCOMPARE(m_line->ReadThrough("\r"), "MSG=" + CyrillicStored + " 3072\r");
    QCOMPARE(m_line->Prompt().right(8), QByteArray("PC MENU>"));

    QVERIFY(Request("DLMSG", 7));
    QVERIFY(m_line->WaitForText("START", 2000));
    QCOMPARE(Peer(QStringLiteral("rb -E -u -q"), pc), 0);
    QCOMPARE(Result("PC MENU>"), QByteArray("OK"));
    QCOMPARE(ReadRaw(pc, CyrillicStored), data);
}

void TestUnitTransfer::injectedErrorKeepsTheOldRecording()
{
    const QString pc = m_dir->filePath("pc");
    QVERIFY(WriteRaw(pc, "new.pcm", RandomBytes(2000)));
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QCOMPARE(m_unit->Control("fault ymodem 7"), QByteArray("ok fault ymodem 7"));
    QVERIFY(Request("SET", 60));
    QCOMPARE(Peer(QStringLiteral("sb -k -q new.pcm"), pc), 0);
    QCOMPARE(Result("PC SYS>"), QByteArray("YMODEM_ERR(7)"));
    QCOMPARE(m_line->GetParam(60), QByteArray("MSG=wait.pcm 24000"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    // The fault is used up: the next transfer reports its own result.
    QVERIFY(Request("SET", 60));
    QCOMPARE(Peer(QStringLiteral("sb -k -q new.pcm"), pc), 0);
    QCOMPARE(Result("PC SYS>"), QByteArray("OK"));
    QCOMPARE(m_line->GetParam(60), QByteArray("MSG=new.pcm 2000"));
}

void TestUnitTransfer::transfersThatNeverRunEndWithAnError()
{
    Start({QStringLiteral("--transfer-timeout"), QStringLiteral("1500")});
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QVERIFY(Request("DLMSG", 60));
    QVERIFY(m_line->WaitForText("START", 2000));
    QCOMPARE(Result("PC SYS>"), QByteArray("YMODEM_ERR(3)")); // the program went away
    QVERIFY(Request("SET", 61));
    QCOMPARE(Result("PC SYS>"), QByteArray("YMODEM_ERR(3)"));
    QVERIFY(Request("DLMSG", 60));
    QVERIFY(m_line->WaitForText("START", 2000));
    m_line->Write(QByteArray(10, '\x18')); // the program cancels
    QCOMPARE(Result("PC SYS>"), QByteArray("YMODEM_ERR(1)"));
    QCOMPARE(m_line->Command("DLMSG", "63"), QByteArray("ERROR")); // nothing recorded there
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->GetParam(61), QByteArray("MSG=op_busy.pcm 16000"));
}

void TestUnitTransfer::stoppingTheUnitTakesLrzszAlong_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void TestUnitTransfer::stoppingTheUnitTakesLrzszAlong()
{
    QFETCH_GLOBAL(QString, peer);
    if (peer != QLatin1String("lrzsz"))
        QSKIP("only lrzsz runs as a process of its own");
    QFETCH(int, signalNumber);
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QVERIFY(Request("SET", 61)); // an upload the program never starts: rb waits
    QList<qint64> children;
    QTRY_VERIFY_WITH_TIMEOUT(!(children = ChildProcesses(m_unit->Pid())).isEmpty(), 10000);
    QCOMPARE(::kill(pid_t(m_unit->Pid()), signalNumber), 0);
    const int exitCode = m_unit->Stop();
    if (signalNumber == SIGTERM) {
        QCOMPARE(exitCode, 0);
        QVERIFY(m_unit->StandardError().contains("bytes sent="));
    }
    for (const qint64 child : children)
        QTRY_VERIFY_WITH_TIMEOUT(!ProcessAlive(child), 10000);

    // A unit stopped in order clears its transfer folder; a killed one clears it at the next start.
    const QDir voice(m_dir->filePath("state.voice"));
    const QStringList transferFolders{QStringLiteral("transfer-*")};
    QCOMPARE(voice.entryList(transferFolders, QDir::Dirs).isEmpty(), signalNumber == SIGTERM);
    Start();
    QVERIFY(voice.entryList(transferFolders, QDir::Dirs).isEmpty());
}

QTEST_GUILESS_MAIN(TestUnitTransfer)
#include "test_unit_transfer.moc"
