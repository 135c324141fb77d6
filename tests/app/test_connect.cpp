// Connecting the real window to the emulated unit: system and administrator
// logins, a wrong password, a busy unit, a cancelled password prompt, a port
// that is not there, a silent unit, a stray line that forces a re-login,
// disconnecting and closing while connected, and closing refused while busy.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "UnitClient.h"
#include "window/Unit1.h"
#include "serial/SpDeviceNames.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "session/UnitDialog.h"
#include "ui/StringGrid.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using namespace TestSupport;

namespace {

// Reads parameter 999 and leaves its reply line unread, as a command that
// ended uncleanly would.
class TStrayLineJob : public TJoint1 {
public:
    TStrayLineJob() { Mode = Unit::umSys; }
    void GetP() override
    {
        FormComm()->SendAndWaitEcho(Unit::Get, 2000);
        FormComm()->WaitForText(Unit::NumberPrompt, 2000);
        FormComm()->SendAndWaitEcho("999\r", 2000);
    }
    void Output() override {}
};

// Runs in the mailbox menu and only notes that it ran.
class TMailNoteJob : public TJoint1 {
public:
    TMailNoteJob() { Mode = Unit::umMail; }
    int Runs = 0;
    void GetP() override { ++Runs; }
    void Output() override {}
};

int receivedByUnit(TUnitProcess& unit)
{
    static const QRegularExpression received(QStringLiteral("received=(\\d+)"));
    return received.match(QString::fromLatin1(unit.Control("count"))).captured(1).toInt();
}

} // namespace

class TestConnect : public QObject {
    Q_OBJECT
private:
    TRecordingSink sink;
    std::unique_ptr<TUnitProcess> unit;
    std::unique_ptr<TForm1> window;
    std::unique_ptr<TFormComm> comm;

    QString level() const { return window->StatusPanels[2]->text(); }

    // Every status panel shows its whole text inside the window, once the
    // bar has laid it out.
    bool panelsShowTheirText() const
    {
        return QTest::qWaitFor([&] {
            for (const QLabel* panel : window->StatusPanels)
                if (panel->contentsRect().width() < panel->fontMetrics().horizontalAdvance(panel->text())
                    || panel->geometry().right() >= panel->parentWidget()->width())
                    return false;
            return true;
        }, 5000);
    }

    void connectWith(const QStringList& passwords)
    {
        for (const QString& password : passwords)
            sink.QueuePassword(password);
        window->btnConnect->click(); // returns when the connect has ended and the page's reads are handed over
        QVERIFY(window->Server()->WaitIdle(20000));
        QCOMPARE(window->BusyCount(), 0);
        QCOMPARE(window->StatusPanels[0]->text(), QStringLiteral("Готово"));
    }

private slots:
    void init()
    {
        unit = std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit->Pty().isEmpty());
        window = std::make_unique<TForm1>(QCoreApplication::applicationFilePath());
        comm = std::make_unique<TFormComm>();
        spOverrideDevice(1, unit->Pty());
        sink.Clear();
        SetMessageSink(&sink); // after the window, which installs its own
    }
    void cleanup()
    {
        const QStringList problems = CloseLeftoverModals();
        window.reset();
        comm.reset();
        unit.reset();
        spOverrideDevice(1, QString());
        SetMessageSink(nullptr);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    void systemLoginShowsLevelAndVersion()
    {
        connectWith({QStringLiteral("1234")});
        QCOMPARE(sink.Log(), QStringList({"P"}));
        QCOMPARE(level(), QStringLiteral("Режим: Системный"));
        QCOMPARE(window->StatusPanels[3]->text(), QStringLiteral("Версия прошивки: 1.4.4"));
        QVERIFY(!window->btnConnect->isEnabled() && window->btnDisconnect->isEnabled());
        QVERIFY(window->btnExport->isEnabled() && !window->btnPorts->isEnabled());
        QVERIFY(window->btnSysParams->isEnabled() && window->sgMail->isEnabled());
        QVERIFY(window->PageControl1->isEnabled());
        QCOMPARE(int(window->Session()->UnitMode), int(Unit::umSys));
    }

    void administratorLoginEnablesTheSameControls()
    {
        connectWith({QStringLiteral("1111")});
        QCOMPARE(level(), QStringLiteral("Режим: Администратор"));
        QCOMPARE(window->StatusPanels[3]->text(), QStringLiteral("Версия прошивки: 1.4.4"));
        QVERIFY(window->btnSysParams->isEnabled() && window->btnMessageDelete->isEnabled());
        // The level and the version read whole, also in a larger font.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(panelsShowTheirText());
        QFont large = window->font();
        large.setPointSizeF(large.pointSizeF() * 1.25);
        window->setFont(large);
        QVERIFY(panelsShowTheirText());
    }

    void wrongPasswordThenRight()
    {
        connectWith({QStringLiteral("9999"), QStringLiteral("1234")});
        QCOMPARE(sink.Log(), QStringList({"P", "W: Неверный пароль! Повторите ввод.", "P"}));
        QCOMPARE(level(), QStringLiteral("Режим: Системный"));
    }

    void busyUnitWarnsAndAsksAgain()
    {
        QCOMPARE(unit->Control("fault busy on"), QByteArray("ok fault busy on"));
        connectWith({QStringLiteral("1234")}); // the second prompt is cancelled
        QCOMPARE(sink.Log(), QStringList({"P",
                                          "W: Устройство занято!\r Дождитесь освобождения всех линий и повторите ввод.",
                                          "P"}));
        QCOMPARE(level(), QStringLiteral("Отключено"));
        QVERIFY(!comm->SpComm1.IsOpen());
    }

    void cancelledPasswordLeavesDisconnected()
    {
        const int before = receivedByUnit(*unit);
        connectWith({});
        QCOMPARE(sink.Log(), QStringList({"P"}));
        QCOMPARE(level(), QStringLiteral("Отключено"));
        QCOMPARE(window->StatusPanels[3]->text(), QString());
        QVERIFY(window->btnConnect->isEnabled() && !window->btnSysParams->isEnabled());
        QVERIFY(!comm->SpComm1.IsOpen());
        // Wake-up, access word, one return, then the leave sequence.
        QVERIFY(QTest::qWaitFor([&] { return receivedByUnit(*unit) - before == 9 + 16 + 4 + 1 + 14; }, 5000));
    }

    void missingPortIsReported()
    {
        spOverrideDevice(1, QStringLiteral("/dev/parlotel-no-such-port"));
        connectWith({});
        QCOMPARE(sink.Log(), QStringList({"E: COM1: Не удалось открыть порт.\nSpecified device not found (/dev/parlotel-no-such-port)."}));
        QCOMPARE(level(), QStringLiteral("Отключено"));
        QCOMPARE(window->Session()->Level, uint8_t(0));
    }

    void silentUnitIsNotFoundAfterThreeAttempts()
    {
        QCOMPARE(unit->Control("fault silent on"), QByteArray("ok fault silent on"));
        QElapsedTimer clock;
        clock.start();
        connectWith({});
        // The access word's wait and three attempts of a second each.
        QVERIFY2(clock.elapsed() >= 3900, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(sink.Log(), QStringList({"E: COM1: Устройство не обнаружено."}));
        QCOMPARE(level(), QStringLiteral("Отключено"));
        QVERIFY(!comm->SpComm1.IsOpen());
    }

    void strayLineLeadsToReloginWithoutAsking()
    {
        connectWith({QStringLiteral("1234")});
        TStrayLineJob stray;
        stray.State = TJoint1::Read;
        window->Session()->Submit(&stray);
        QVERIFY(window->Server()->WaitIdle(20000));
        TMailNoteJob mail;
        mail.State = TJoint1::Read;
        window->Session()->Submit(&mail);
        QVERIFY(window->Server()->WaitIdle(20000));
        QCOMPARE(mail.Runs, 1);
        QCOMPARE(sink.Log(), QStringList({"P", "E: Probably incorrect finishing the previous command"}));
        QCOMPARE(level(), QStringLiteral("Режим: Системный"));
        QCOMPARE(int(window->Session()->UnitMode), int(Unit::umMail));
    }

    void disconnectSendsTheLeaveSequence()
    {
        connectWith({QStringLiteral("1234")});
        const int before = receivedByUnit(*unit);
        window->btnDisconnect->click();
        QVERIFY(window->Server()->WaitIdle(10000));
        QCOMPARE(level(), QStringLiteral("Отключено"));
        QCOMPARE(window->BusyCount(), 0);
        QVERIFY(!comm->SpComm1.IsOpen());
        QVERIFY(window->btnConnect->isEnabled() && !window->btnMailCreate->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return receivedByUnit(*unit) - before == 14; }, 5000));

        // And a fresh connect asks for the password again.
        connectWith({QStringLiteral("1111")});
        QCOMPARE(sink.Log(), QStringList({"P", "P"}));
        QCOMPARE(level(), QStringLiteral("Режим: Администратор"));
    }

    void closeWhileConnectedLeavesTheUnit()
    {
        connectWith({QStringLiteral("1234")});
        const int before = receivedByUnit(*unit);
        window->show();
        QVERIFY(window->close());
        QVERIFY(!comm->SpComm1.IsOpen());
        QVERIFY(QTest::qWaitFor([&] { return receivedByUnit(*unit) - before == 14; }, 5000));
    }

    void closeIsRefusedWhileConnecting()
    {
        QCOMPARE(unit->Control("fault silent on"), QByteArray("ok fault silent on"));
        window->show();
        bool closed = true;
        QString busyText;
        bool pagesEnabled = true;
        QTimer::singleShot(500, this, [&] {
            busyText = window->StatusPanels[0]->text();
            pagesEnabled = window->PageControl1->isEnabled();
            closed = window->close();
        });
        connectWith({});
        QVERIFY(!closed);
        QCOMPARE(busyText, QStringLiteral("Передача данных"));
        QVERIFY(!pagesEnabled);
        QVERIFY(window->isVisible());
        QVERIFY(window->close());
    }
};

QTEST_MAIN(TestConnect)
#include "test_connect.moc"
