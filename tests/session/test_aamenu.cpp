// The session against a scripted unit on a pseudo-terminal: the exact bytes of
// a connect, navigation between menus, the re-login after a prompt that is not
// the expected one (and its bound), and the failures of the login dialogue.
#include "TestSupport.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "serial/SpSync.h"

#include <QtTest>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace TestSupport;

namespace {

// The unit's side: answers each expected text with its reply, in order, and
// records every byte the program sent.
class TScript {
public:
    explicit TScript(TPtyPair& pty) : m_pty(pty) {}
    ~TScript() { Stop(); }

    TScript& On(const QByteArray& expect, const QByteArray& reply)
    {
        m_steps.emplace_back(expect, reply);
        return *this;
    }
    void Start()
    {
        m_thread = std::thread([this] { Run(); });
    }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    QByteArray Received() const
    {
        std::lock_guard lock(m_mutex);
        return m_all;
    }
    bool AllAnswered() const { return m_next.load() == m_steps.size(); }

private:
    void Run()
    {
        QByteArray pending;
        while (!m_stop) {
            const QByteArray more = m_pty.Read(20);
            {
                std::lock_guard lock(m_mutex);
                m_all += more;
            }
            pending += more;
            while (m_next < m_steps.size()) {
                const auto& [expect, reply] = m_steps[m_next];
                const qsizetype at = pending.indexOf(expect);
                if (at < 0)
                    break;
                pending = pending.mid(at + expect.size());
                m_pty.Write(reply);
                ++m_next;
            }
        }
    }

    TPtyPair& m_pty;
    std::vector<std::pair<QByteArray, QByteArray>> m_steps;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_all;
    std::thread m_thread;
};

// A job that only notes that it ran, optionally sending one command first.
class TNoteJob : public TJoint1 {
public:
    explicit TNoteJob(Unit::TUnitMode mode, QByteArray command = {}) : m_command(std::move(command)) { Mode = mode; }
    std::atomic<int> Runs{0};
    void GetP() override
    {
        if (!m_command.isEmpty())
            FormComm()->SendAndWaitEcho(m_command, 2000);
        ++Runs;
    }
    void Output() override {}

private:
    QByteArray m_command;
};

const QByteArray AccessWord("\xEA\xE4\xEB\r");
const QByteArray LeaveBytes = QByteArray(5, '\x18') + QByteArray(9, '\r');

// Echo of a line as the unit sends it.
QByteArray echo(const QByteArray& line)
{
    return line + "\n";
}

// A path whose open for reading and writing is refused with EACCES for whoever
// runs the test: a file without permissions stops an ordinary user; root
// passes those, but not a read-only kernel setting.
QString deniedPath(const QTemporaryDir& dir)
{
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QFile file(locked);
    if (file.open(QIODevice::WriteOnly))
        file.setPermissions(QFileDevice::Permissions());
    for (const QString& path : {locked, QStringLiteral("/proc/sys/kernel/ostype")}) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        else if (errno == EACCES)
            return path;
    }
    return {};
}

} // namespace

class TestAAMenu : public QObject {
    Q_OBJECT
private:
    TRecordingSink sink;
    std::unique_ptr<TPtyPair> pty;
    std::unique_ptr<TFormComm> comm;
    std::unique_ptr<TCOMServer> server;
    std::unique_ptr<TAAMenu> session;
    QList<int> levels;

    void submit(TJoint1& job)
    {
        job.State = TJoint1::Read;
        session->Submit(&job);
        QVERIFY(server->WaitIdle(30000));
    }

    // The unit's part of a fresh login with password "1234" into the system menu.
    static void scriptLogin(TScript& unit, const QByteArray& answer = "SYSTEM_MODE")
    {
        unit.On(AccessWord, echo(AccessWord))
            .On("\r", "\r\nPassword:")
            .On("1234\r", "1234\r\n" + answer + "\r\n>")
            .On("PC\r", echo("PC\r") + "PC>")
            .On("SYS\r", echo("SYS\r") + "PC SYS>");
    }

private slots:
    void init()
    {
        sink.Clear();
        SetMessageSink(&sink);
        pty = std::make_unique<TPtyPair>();
        comm = std::make_unique<TFormComm>();
        comm->SpComm1.SetDeviceName(pty->SlavePath());
        server = std::make_unique<TCOMServer>();
        session = std::make_unique<TAAMenu>(*server);
        levels.clear();
        session->OnLevelChanged = [this](uint8_t level) {
            QVERIFY(spIsMainThread());
            levels << level;
        };
    }
    void cleanup()
    {
        session.reset();
        server.reset();
        comm.reset();
        pty.reset();
        SetMessageSink(nullptr);
    }

    void connectSendsTheExactLoginSequence()
    {
        TScript unit(*pty);
        scriptLogin(unit);
        unit.On("A\r", echo("A\r") + "PC SYS>").On("B\r", echo("B\r") + "PC SYS>");
        unit.Start();
        sink.QueuePassword(QStringLiteral("1234"));
        TNoteJob job(Unit::umSys, "A\r");
        submit(job);

        QCOMPARE(job.Runs.load(), 1);
        QCOMPARE(sink.Log(), QStringList({"P"}));
        QCOMPARE(int(session->Level), 3);
        QCOMPARE(int(session->UnitMode), 6);
        QCOMPARE(levels, QList<int>({1, 1, 3}));
        QCOMPARE(session->ConnectError, 0);
        const QByteArray expected = QByteArray(9, '\x18') + QByteArray(16, '\r') + AccessWord + "\r" + "1234\r"
            + "PC\r" + "SYS\r" + "A\r";
        QCOMPARE(unit.Received(), expected);

        // Same menu: the job runs without any navigation; its own command
        // discards the prompt the previous one left.
        TNoteJob again(Unit::umSys, "B\r");
        submit(again);
        QCOMPARE(again.Runs.load(), 1);
        QCOMPARE(unit.Received(), expected + "B\r");
    }

    void navigatesThroughPcBetweenMenus()
    {
        TScript unit(*pty);
        scriptLogin(unit, "ADMIN_MODE");
        unit.On("A\r", echo("A\r") + "PC SYS>")
            .On("\r", "\r\nPC>")
            .On("MAIL\r", echo("MAIL\r") + "PC MAIL>")
            .On("A\r", echo("A\r") + "PC MAIL>")
            .On("\r", "\r\nPC>")
            .On("SYS\r", echo("SYS\r") + "PC SYS>")
            .On("A\r", echo("A\r") + "PC SYS>");
        unit.Start();
        sink.QueuePassword(QStringLiteral("1234"));
        TNoteJob sys(Unit::umSys, "A\r"), mail(Unit::umMail, "A\r");
        submit(sys);
        QCOMPARE(int(session->Level), 2);
        submit(mail);
        QCOMPARE(int(session->UnitMode), 8);
        submit(sys);
        QCOMPARE(int(session->UnitMode), 6);
        QCOMPARE(sys.Runs.load(), 2);
        QCOMPARE(mail.Runs.load(), 1);
        QVERIFY(unit.Received().endsWith("SYS\rA\r\rMAIL\rA\r\rSYS\rA\r"));
        QCOMPARE(sink.Log(), QStringList({"P"}));
    }

    void undefinedModeIsRefusedAndNothingIsSent()
    {
        TScript unit(*pty);
        scriptLogin(unit);
        unit.Start();
        TNoteJob undefined(Unit::umUndefined);
        undefined.State = TJoint1::Read;
        session->Submit(&undefined);
        QVERIFY(server->IdleEvent.IsSet());
        QCOMPARE(sink.Log(), QStringList({"E: Menu mode is Undefined"}));
        QCOMPARE(undefined.Runs.load(), 0);
        QVERIFY(!comm->SpComm1.IsOpen());

        sink.QueuePassword(QStringLiteral("1234"));
        TNoteJob job(Unit::umSys);
        submit(job);
        QCOMPARE(job.Runs.load(), 1);
        QVERIFY(unit.Received().startsWith(QByteArray(9, '\x18')));
    }

    // The previous command left a line before the prompt: the session logs in
    // again with the remembered password, without asking, and goes on.
    void promptMismatchLogsInAgain()
    {
        TScript unit(*pty);
        scriptLogin(unit);
        unit.On("X\r", echo("X\r") + "STRAY\r\nPC SYS>");
        unit.On(AccessWord, echo(AccessWord))
            .On("\r", "\r\nPassword:")
            .On("1234\r", "1234\r\nSYSTEM_MODE\r\n>")
            .On("PC\r", echo("PC\r") + "PC>")
            .On("MAIL\r", echo("MAIL\r") + "PC MAIL>");
        unit.Start();
        sink.QueuePassword(QStringLiteral("1234"));
        TNoteJob leavesLine(Unit::umSys, "X\r"), mail(Unit::umMail);
        submit(leavesLine);
        submit(mail);
        QCOMPARE(mail.Runs.load(), 1);
        QCOMPARE(sink.Log(), QStringList({"P", "E: Probably incorrect finishing the previous command"}));
        QCOMPARE(int(session->Level), 3);
        QCOMPARE(int(session->UnitMode), 8);
        QVERIFY(unit.Received().endsWith(QByteArray(9, '\x18') + QByteArray(16, '\r') + AccessWord
                                         + "\r1234\rPC\rMAIL\r"));
    }

    // A unit that stays out of step is not logged in again and again: the
    // second mismatch within one hand-over ends the connection.
    void secondMismatchDisconnects()
    {
        TScript unit(*pty);
        scriptLogin(unit);
        unit.On("X\r", echo("X\r") + "STRAY\r\nPC SYS>");
        unit.On(AccessWord, echo(AccessWord))
            .On("\r", "\r\nPassword:")
            .On("1234\r", "1234\r\nSYSTEM_MODE\r\n>")
            .On("PC\r", echo("PC\r") + "PC>")
            .On("MAIL\r", echo("MAIL\r") + "JUNK\r\nPC MAIL>");
        unit.Start();
        sink.QueuePassword(QStringLiteral("1234"));
        TNoteJob leavesLine(Unit::umSys, "X\r"), mail(Unit::umMail);
        submit(leavesLine);
        submit(mail);
        QCOMPARE(mail.Runs.load(), 0);
        const QString mismatch = QStringLiteral("E: Probably incorrect finishing the previous command");
        QCOMPARE(sink.Log(), QStringList({"P", mismatch, mismatch}));
        QCOMPARE(int(session->Level), 0);
        QCOMPARE(int(session->UnitMode), 0);
        QVERIFY(!comm->SpComm1.IsOpen());
        QVERIFY(QTest::qWaitFor([&] { return unit.Received().endsWith(LeaveBytes); }, 5000));
    }

    void reloginToASilentUnitReportsNoEcho()
    {
        TScript unit(*pty);
        scriptLogin(unit);
        unit.On("X\r", echo("X\r") + "STRAY\r\nPC SYS>");
        unit.Start();
        sink.QueuePassword(QStringLiteral("1234"));
        TNoteJob leavesLine(Unit::umSys, "X\r"), mail(Unit::umMail);
        submit(leavesLine);
        submit(mail);
        QCOMPARE(sink.Log(), QStringList({"P", "E: Probably incorrect finishing the previous command",
                                          "E: Device does not respond (no echo)"}));
        QCOMPARE(int(session->Level), 0);
        QCOMPARE(levels.last(), 0);
        QVERIFY(!comm->SpComm1.IsOpen());
    }

    void loginAnswerFailures_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown word") << QByteArray("1234\r\nHELLO\r\n") << "E: Unknown response on password input";
        QTest::newRow("case differs") << QByteArray("1234\r\nsystem_mode\r\n") << "E: Unknown response on password input";
        QTest::newRow("no echo") << QByteArray() << "E: Device does no respond on password input";
        QTest::newRow("no answer line") << QByteArray("1234\r\nSYSTEM") << "E: Device does no respond on password input";
    }
    void loginAnswerFailures()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, error);
        TScript unit(*pty);
        unit.On(AccessWord, echo(AccessWord)).On("\r", "\r\nPassword:").On("1234\r", reply);
        unit.Start();
        sink.QueuePassword(QStringLiteral("1234"));
        TNoteJob job(Unit::umSys);
        submit(job);
        QCOMPARE(job.Runs.load(), 0);
        QCOMPARE(sink.Log(), QStringList({"P", error}));
        QCOMPARE(levels, QList<int>({1, 1, 0}));
        QVERIFY(QTest::qWaitFor([&] { return unit.Received().endsWith(LeaveBytes); }, 5000));
    }

    void busyAndWrongPasswordAskAgain()
    {
        TScript unit(*pty);
        unit.On(AccessWord, echo(AccessWord))
            .On("\r", "\r\nPassword:")
            .On("1234\r", "1234\r\nBUSY\r\n")
            .On("0000\r", "0000\r\nERROR\r\n")
            .On("\r", "\r\nPassword:")
            .On("1234\r", "1234\r\nADMIN_MODE\r\n>")
            .On("PC\r", echo("PC\r") + "PC>")
            .On("SYS\r", echo("SYS\r") + "PC SYS>");
        unit.Start();
        sink.QueuePassword(QStringLiteral("1234"));
        sink.QueuePassword(QStringLiteral("0000"));
        sink.QueuePassword(QStringLiteral("1234"));
        TNoteJob job(Unit::umSys);
        submit(job);
        QCOMPARE(job.Runs.load(), 1);
        QCOMPARE(sink.Log(), QStringList({"P",
                                          "W: Устройство занято!\r Дождитесь освобождения всех линий и повторите ввод.",
                                          "P", "W: Неверный пароль! Повторите ввод.", "P"}));
        QCOMPARE(int(session->Level), 2);
        QCOMPARE(session->Password, QStringLiteral("1234"));
    }

    void untouchedOrEmptyPasswordAsksAgainAndCancelCloses()
    {
        TScript unit(*pty);
        unit.On(AccessWord, echo(AccessWord)).On("\r", "\r\nPassword:");
        unit.Start();
        sink.QueuePasswordAnswer(TPasswordAnswer::Untouched);
        sink.QueuePassword(QString()); // emptied: nothing to send, asked again
        sink.QueuePasswordAnswer(TPasswordAnswer::Cancelled);
        TNoteJob job(Unit::umSys);
        submit(job);
        QCOMPARE(sink.Log(), QStringList({"P", "P", "P"}));
        QCOMPARE(levels, QList<int>({1, 1, 0}));
        QVERIFY(!comm->SpComm1.IsOpen());
        QVERIFY(QTest::qWaitFor([&] { return unit.Received().endsWith("\r" + LeaveBytes); }, 5000));
    }

    void missingPortIsReported()
    {
        comm->SpComm1.SetDeviceName(QStringLiteral("COM%d"));
        session->PortNumber = 3;
        QSettings(QStringLiteral("pt71qm")).setValue(QStringLiteral("Devices/COM3"), "/dev/parlotel-missing");
        TNoteJob job(Unit::umSys);
        submit(job);
        QCOMPARE(sink.Log(), QStringList({"E: COM3: Не удалось открыть порт.\nSpecified device not found (/dev/parlotel-missing)."}));
        QCOMPARE(session->ConnectError, int(TAAMenu::cePortFailed));
        QCOMPARE(levels, QList<int>({1, 1, 0}));
        QCOMPARE(int(session->UnitMode), 0);
    }

    // A refused open names the device and the way to get access under the usual
    // line; the next failure of another kind names its own reason only.
    void deniedPortSaysHowToGetAccess()
    {
        QTemporaryDir dir;
        const QString denied = deniedPath(dir);
        if (denied.isEmpty())
            QSKIP("no path here whose open is refused with EACCES for this user");
        comm->SpComm1.SetDeviceName(QStringLiteral("COM%d"));
        session->PortNumber = 2;
        QSettings settings(QStringLiteral("pt71qm"));
        settings.setValue(QStringLiteral("Devices/COM2"), denied);
        settings.sync();
        TNoteJob job(Unit::umSys);
        submit(job);
        QCOMPARE(sink.Log(), QStringList({"E: COM2: Не удалось открыть порт.\nНет доступа к порту " + denied
                                          + ": войдите в группу dialout (sudo adduser $USER dialout) и войдите в "
                                            "систему заново.\nCan't open specified device " + denied + " (Error 13, "
                                          + QString::fromLocal8Bit(std::strerror(EACCES)) + ")"}));
        QCOMPARE(levels, QList<int>({1, 1, 0}));

        sink.Clear();
        settings.setValue(QStringLiteral("Devices/COM2"), "/dev/parlotel-missing");
        settings.sync();
        submit(job);
        QCOMPARE(sink.Log(), QStringList({"E: COM2: Не удалось открыть порт.\nSpecified device not found (/dev/parlotel-missing)."}));
        QCOMPARE(job.Runs.load(), 0);
    }

    void invalidStateIsReportedAndCloses()
    {
        TScript unit(*pty);
        unit.Start();
        server->IdleEvent.Reset();
        session->State = 77;
        server->Start(session.get());
        QVERIFY(server->WaitIdle(10000));
        QCOMPARE(sink.Log(), QStringList({"E: AAMenu: invalid action:77"}));
        QCOMPARE(session->State, int(TAAMenu::stClosed));
        QCOMPARE(levels, QList<int>({0}));
    }
};

QTEST_MAIN(TestAAMenu)
#include "test_aamenu.moc"
