// The unit's line and its life: output paced at ten bit-times per byte, the
// fault switches, a program that closes and reopens the device, the state file
// across restarts, and what it does with bad options and bad state files.
#include "UnitClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace TestSupport;

namespace {

const QByteArray System = "1234";

} // namespace

class TestUnitLine : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void outputIsPacedAtTheBitRate();
    void silentUnitIgnoresEverything();
    void replyDelayHoldsBackRepliesNotEchoes();
    void bytewiseOutputArrivesInSingleBytes();
    void refusedWordsAndControlLines();
    void programMayCloseAndReopenTheDevice();
    void deviceModeServesAnExistingLine();
    void stateSurvivesARestart();
    void badStateFileIsRefusedAndKept();
    void invalidStateValuesFallBackToTheFactory();
    void passwordOptions();

private:
    void Start(const QStringList& extra);
    QString StateFile() const { return m_dir->filePath("state.json"); }
    QStringList Unpaced() const
    {
        return {QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("--state"), StateFile()};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TUnitProcess> m_unit;
    std::unique_ptr<TLine> m_line;
};

void TestUnitLine::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestUnitLine::cleanup()
{
    m_line.reset();
    m_unit.reset();
    m_dir.reset();
}

void TestUnitLine::Start(const QStringList& extra)
{
    m_line.reset();
    m_unit.reset();
    m_unit = std::make_unique<TUnitProcess>(extra);
    QVERIFY2(!m_unit->Pty().isEmpty(), m_unit->StandardError().constData());
    m_line = std::make_unique<TLine>(m_unit->Pty());
    QVERIFY(m_line->IsOpen());
}

void TestUnitLine::outputIsPacedAtTheBitRate()
{
    Start({QStringLiteral("--state"), StateFile()}); // default 19200 bit/s
    const int bytes = 960;                          // half a second at 19200
    m_line->Write(QByteArray(bytes, 'x'));          // echoed, and no command: nothing else comes
    QElapsedTimer clock;
    QVERIFY(m_line->Fill(5000));
    clock.start();
    while (m_line->Raw().size() < bytes && clock.elapsed() < 10000)
        m_line->Fill(1000);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(m_line->Raw().size(), bytes);
    const double ideal = (bytes - 1) * 10.0 / 19200 * 1000;
    QVERIFY2(elapsed > ideal * 0.9 && elapsed < ideal * 2, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    QCOMPARE(m_unit->Control("count"), QByteArray("count sent=960 received=960"));
    QCOMPARE(::kill(pid_t(m_unit->Pid()), SIGUSR1), 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_unit->StandardError().contains("bytes sent=960 received=960"), 10000);
}

void TestUnitLine::silentUnitIgnoresEverything()
{
    Start(Unpaced());
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QCOMPARE(m_unit->Control("fault silent on"), QByteArray("ok fault silent on"));
    m_line->Write("\r");
    QVERIFY(m_line->StaysQuiet(500));
    QCOMPARE(m_unit->Control("fault silent off"), QByteArray("ok fault silent off"));
    // What it ignored did not move it: it is still in the system menu.
    QCOMPARE(m_line->GetParam(999), QByteArray("=10404"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
}

void TestUnitLine::replyDelayHoldsBackRepliesNotEchoes()
{
    Start(Unpaced());
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QCOMPARE(m_unit->Control("fault delay 400"), QByteArray("ok fault delay 400"));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_line->SendAndWaitEcho("GET\r"));
    QVERIFY(clock.elapsed() < 300);
    QVERIFY(m_line->WaitForText("N"));
    QVERIFY(clock.elapsed() >= 400);
    QVERIFY(m_line->SendAndWaitEcho("999\r"));
    clock.restart();
    QCOMPARE(m_line->ReadThrough("\r"), QByteArray("=10404\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QVERIFY(clock.elapsed() >= 2 * 400 - 50); // the reply line and the prompt each waited
}

void TestUnitLine::bytewiseOutputArrivesInSingleBytes()
{
    Start(Unpaced());
    QVERIFY(m_line->LoginTo(System, "MENU"));
    QCOMPARE(m_unit->Control("fault bytewise on"), QByteArray("ok fault bytewise on"));
    const qsizetype before = m_line->Raw().size();
    const int readsBefore = m_line->Reads();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_line->Command("GET", "0"), QByteArray("TC=3"));
    QVERIFY(m_line->Prompt().endsWith("9N100\rPC MENU>"));
    const qsizetype bytes = m_line->Raw().size() - before;
    // Bursts of their own are at least 2 ms apart. The reader sees many of them
    // as reads of their own; how many depends on when a loaded machine lets it
    // run (under ThreadSanitizer two or three bytes a read are usual), but one
    // lump written at the end would be a single read.
    QVERIFY(clock.elapsed() >= (bytes - 1) * 2 * 9 / 10);
    QVERIFY2(m_line->Reads() - readsBefore >= bytes / 8,
             qPrintable(QStringLiteral("%1 reads for %2 bytes").arg(m_line->Reads() - readsBefore).arg(bytes)));
}

void TestUnitLine::refusedWordsAndControlLines()
{
    const QString log = m_dir->filePath("traffic.log");
    Start(Unpaced() + QStringList{QStringLiteral("--refuse"), QStringLiteral("MAIL"), QStringLiteral("--log"), log});
    QVERIFY(m_line->LoginTo(System, "LIST"));
    QVERIFY(m_line->SendAndWaitEcho("\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC>"));
    QVERIFY(m_line->SendAndWaitEcho("MAIL\r"));
    QCOMPARE(m_line->ReadThrough("\r"), QByteArray("ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC>"));
    QCOMPARE(m_unit->Control("fault refuse GETALL"), QByteArray("ok fault refuse GETALL"));
    QCOMPARE(m_unit->Control("fault accept MAIL"), QByteArray("ok fault accept MAIL"));
    QVERIFY(m_line->SendAndWaitEcho("MAIL\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QVERIFY(m_line->SendAndWaitEcho("GETALL\r"));
    QCOMPARE(m_line->ReadThrough("\r"), QByteArray("ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(m_unit->Control("fault none"), QByteArray("ok fault none"));
    QVERIFY(m_line->SendAndWaitEcho("GETALL\r"));
    QCOMPARE(m_line->ReadThrough("\r"), QByteArray("N=101 S=900\r"));

    QVERIFY(m_unit->Control("fault loud on").startsWith("error fault loud on"));
    QVERIFY(m_unit->Control("fault delay soon").startsWith("error"));
    QVERIFY(m_unit->Control("reboot").startsWith("error reboot"));

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray traffic = file.readAll();
    for (const QByteArray expected : {"line> \"MAIL\\r\"", "unit> \"ERROR\\r\\n\"", "note: control: fault refuse GETALL"})
        QVERIFY2(traffic.contains(expected), expected.constData());
}

void TestUnitLine::programMayCloseAndReopenTheDevice()
{
    Start(Unpaced());
    QVERIFY(m_line->LoginTo(System, "SYS"));
    for (int round = 0; round < 2; ++round) {
        m_line->Close();
        m_line = std::make_unique<TLine>(m_unit->Pty());
        QVERIFY(m_line->IsOpen());
        QVERIFY(m_line->LoginTo(System, "TIME"));
    }
}

void TestUnitLine::deviceModeServesAnExistingLine()
{
    // socat joins two pseudo-terminals: the unit serves one as its device, the test talks on the other.
    const QString unitSide = m_dir->filePath("unit-side");
    const QString programSide = m_dir->filePath("program-side");
    TChildProcess socat;
    QVERIFY(socat.Start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + unitSide,
                                                  QStringLiteral("pty,raw,echo=0,link=") + programSide}));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(unitSide) && QFileInfo::exists(programSide), 10000);
    TUnitProcess unit(Unpaced() + QStringList{QStringLiteral("--device"), unitSide}, false);
    QCOMPARE(unit.Control("count"), QByteArray("count sent=0 received=0"));
    TLine line(programSide);
    QVERIFY(line.LoginTo(System, "SYS"));
    QCOMPARE(line.GetParam(999), QByteArray("=10404"));
    // A line that goes away for good ends the unit with an error.
    ::kill(pid_t(socat.Pid()), SIGKILL);
    QCOMPARE(unit.WaitForExit(10000), 1);
    QVERIFY(unit.StandardError().contains("line lost"));
}

void TestUnitLine::stateSurvivesARestart()
{
    Start(Unpaced());
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QCOMPARE(m_line->SetParam(12, "321"), QByteArray("OK"));
    QCOMPARE(m_line->SetParam(0, "5555"), QByteArray("OK"));
    QVERIFY(m_line->SendAndWaitEcho("\r") && m_line->SendAndWaitEcho("LIST\r"));
    QCOMPARE(m_line->Command("ADD", "777"), QByteArray("OK"));
    QVERIFY(m_line->SendAndWaitEcho("\r") && m_line->SendAndWaitEcho("TIME\r"));
    QVERIFY(m_line->SendAndWaitEcho("SET\r") && m_line->WaitForText("T") && m_line->SendAndWaitEcho("010130080000\r"));
    QCOMPARE(m_line->ReadThrough("\r"), QByteArray("OK\r"));
    QCOMPARE(m_unit->Stop(), 0);

    QFile file(StateFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject params = QJsonDocument::fromJson(file.readAll())["parameters"].toObject();
    QCOMPARE(params["12"].toString(), QStringLiteral("321"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("state.json")});

    Start(Unpaced());
    QVERIFY(m_line->LoginTo("5555", "SYS"));
    QCOMPARE(m_line->GetParam(12), QByteArray("=321"));
    QVERIFY(m_line->SendAndWaitEcho("\r") && m_line->SendAndWaitEcho("LIST\r") && m_line->SendAndWaitEcho("GETALL\r"));
    QVERIFY(m_line->ReadThrough(">").value_or("").contains("\r777\r"));
    QVERIFY(m_line->SendAndWaitEcho("\r") && m_line->SendAndWaitEcho("TIME\r") && m_line->SendAndWaitEcho("GET\r"));
    const QByteArray clock = m_line->ReadThrough("\r").value_or("(none)");
    QVERIFY2(clock.startsWith("01013008"), clock.constData());
}

void TestUnitLine::badStateFileIsRefusedAndKept()
{
    const QByteArray broken = "{ \"parameters\": ";
    QFile file(StateFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(broken);
    file.close();
    TUnitProcess unit(Unpaced());
    QVERIFY(unit.Pty().isEmpty());
    QCOMPARE(unit.Stop(), 1);
    QVERIFY(unit.StandardError().contains("state.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), broken);
}

void TestUnitLine::invalidStateValuesFallBackToTheFactory()
{
    QFile file(StateFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"parameters": {"12": "5000", "13": "7", "20": 5, "77": "1"},
                   "extensions": ["300", "300", "x1", "400-401"],
                   "mailboxes": [{"owner": "555", "seconds": 4000}, {"owner": "556", "seconds": 60}],
                   "menus": [{"tc": 4, "items": ["M99"]}]})");
    file.close();
    Start(Unpaced());
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QCOMPARE(m_line->GetParam(12), QByteArray("=100"));
    QCOMPARE(m_line->GetParam(13), QByteArray("=7"));
    QCOMPARE(m_line->GetParam(20), QByteArray("=*1"));
    QVERIFY(m_line->SendAndWaitEcho("\r") && m_line->SendAndWaitEcho("LIST\r") && m_line->SendAndWaitEcho("GETALL\r"));
    QCOMPARE(m_line->ReadThrough(">"), QByteArray("300\r400-401\rPC LIST>"));
    QVERIFY(m_line->SendAndWaitEcho("\r") && m_line->SendAndWaitEcho("MAIL\r") && m_line->SendAndWaitEcho("GETALL\r"));
    QCOMPARE(m_line->ReadThrough(">"), QByteArray("N=556 S=60\rFREE=3540\rPC MAIL>"));
    QVERIFY(m_line->SendAndWaitEcho("\r") && m_line->SendAndWaitEcho("MENU\r"));
    QCOMPARE(m_line->Command("GET", "0"), QByteArray("TC=3"));
}

void TestUnitLine::passwordOptions()
{
    Start(Unpaced() + QStringList{QStringLiteral("--system-password"), QStringLiteral("4321"),
                                  QStringLiteral("--admin-password"), QStringLiteral("2222")});
    QVERIFY(m_line->Wake());
    QCOMPARE(m_line->Login("1234"), QByteArray("ERROR"));
    QCOMPARE(m_line->Login("2222"), QByteArray("ADMIN_MODE"));
    QVERIFY(m_line->SendAndWaitEcho(QByteArray(5, '\x18') + QByteArray(9, '\r'), 2000));
    QVERIFY(m_line->LoginTo("4321", "SYS"));

    TUnitProcess wrong(Unpaced() + QStringList{QStringLiteral("--admin-password"), QStringLiteral("12ab")});
    QVERIFY(wrong.Pty().isEmpty());
    QCOMPARE(wrong.Stop(), 1);
    TUnitProcess unknown({QStringLiteral("--colour")});
    QVERIFY(unknown.Pty().isEmpty());
    QCOMPARE(unknown.Stop(), 2);
}

QTEST_GUILESS_MAIN(TestUnitLine)
#include "test_unit_line.moc"
