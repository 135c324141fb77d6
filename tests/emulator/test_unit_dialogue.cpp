// The unit's command dialogue as the program relies on it: login, the prompts
// that must follow a reply directly, every menu's reads, writes and refusals.
#include "UnitClient.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

const QByteArray System = "1234";
const QByteArray Admin = "1111";

} // namespace

class TestUnitDialogue : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loginLevelsAndRefusals();
    void busyUnitKeepsAskingForThePassword();
    void navigationPromptsFollowReplies_data();
    void navigationPromptsFollowReplies();
    void parameterRoundTrips_data();
    void parameterRoundTrips();
    void parameterRefusals_data();
    void parameterRefusals();
    void administratorReachesOnlyItsParameters();
    void extensionListEdits();
    void extensionListFillsUp();
    void mailboxesShareTheRecordingTime();
    void sixteenthMailboxIsRefusedBeforeItsOwner();
    void menuWriteAndReadBack();
    void menuWriteRefusesWrongItems();
    void clockIsSetAndRunsOn();

private:
    void Start(const QStringList& extra = {});
    // CREATE or EDIT as the program runs it: the refusal line, or the final reply.
    // The program gives a refusal a second to come; mailboxes that are sure to
    // be created wait less.
    QByteArray MailChange(const QByteArray& command, const QByteArray& owner, int seconds, int refusalMs = 1000);
    // SET of a menu as the program runs it; stops at the first refusal.
    QByteArray MenuSet(int menu, const QByteArray& tc, const QList<QByteArray>& items);
    QList<QByteArray> MenuGet(int menu);
    QByteArray ListChange(const QByteArray& command, const QByteArray& entry);
    QByteArray GetAll();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TUnitProcess> m_unit;
    std::unique_ptr<TLine> m_line;
};

void TestUnitDialogue::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    Start();
}

void TestUnitDialogue::cleanup()
{
    m_line.reset();
    m_unit.reset();
    m_dir.reset();
}

void TestUnitDialogue::Start(const QStringList& extra)
{
    m_line.reset();
    m_unit.reset();
    m_unit = std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("0"),
                                                        QStringLiteral("--state"), m_dir->filePath("state.json")}
                                            + extra);
    QVERIFY2(!m_unit->Pty().isEmpty(), m_unit->StandardError().constData());
    m_line = std::make_unique<TLine>(m_unit->Pty());
    QVERIFY(m_line->IsOpen());
}

QByteArray TestUnitDialogue::MailChange(const QByteArray& command, const QByteArray& owner, int seconds,
                                        int refusalMs)
{
    if (!m_line->SendAndWaitEcho(command + '\r') || !m_line->WaitForText("N"))
        return "(no N prompt)";
    if (const auto refusal = m_line->ReadThrough("\r", refusalMs))
        return "(refused) " + *refusal;
    if (!m_line->SendAndWaitEcho(owner + '\r'))
        return "(no owner echo)";
    if (!m_line->WaitForText("S", 1000))
        return "(owner refused) " + m_line->ReadThrough("\r", 1000).value_or("nothing");
    if (!m_line->SendAndWaitEcho(QByteArray::number(seconds) + '\r'))
        return "(no size echo)";
    return m_line->ReadThrough("\r").value_or("(no reply)");
}

QByteArray TestUnitDialogue::MenuSet(int menu, const QByteArray& tc, const QList<QByteArray>& items)
{
    if (!m_line->SendAndWaitEcho("SET\r") || !m_line->WaitForText("N")
        || !m_line->SendAndWaitEcho(QByteArray::number(menu) + '\r') || !m_line->WaitForText("TC", 2000)
        || !m_line->SendAndWaitEcho(tc + '\r'))
        return "(no TC exchange)";
    for (int key = 0; key < items.size(); ++key) {
        if (!m_line->WaitForText(QByteArray::number(key), 1000))
            return QByteArray::number(key) + " refused: " + m_line->ReadThrough("\r", 1000).value_or("nothing");
        if (!m_line->SendAndWaitEcho(items[key] + '\r'))
            return "(no item echo)";
    }
    return m_line->ReadThrough("\r").value_or("(no final reply)");
}

QList<QByteArray> TestUnitDialogue::MenuGet(int menu)
{
    QList<QByteArray> lines{m_line->Command("GET", QByteArray::number(menu))};
    for (int i = 0; i < 11; ++i)
        lines << m_line->ReadThrough("\r").value_or("(missing)").chopped(1);
    return lines;
}

QByteArray TestUnitDialogue::ListChange(const QByteArray& command, const QByteArray& entry)
{
    return m_line->Command(command, entry);
}

QByteArray TestUnitDialogue::GetAll()
{
    if (!m_line->SendAndWaitEcho("GETALL\r"))
        return "(no echo)";
    return m_line->ReadThrough(">").value_or("(no prompt)");
}

void TestUnitDialogue::loginLevelsAndRefusals()
{
    QVERIFY(m_line->Wake());
    QCOMPARE(m_line->Login("9999"), QByteArray("ERROR"));
    // The program sends one more carriage return after a refusal; the unit is
    // still asking for the password and takes the next one.
    QVERIFY(m_line->SendAndWaitEcho("\r"));
    QCOMPARE(m_line->Login(Admin), QByteArray("ADMIN_MODE"));
    QCOMPARE(m_line->Prompt(), QByteArray(">"));
    QVERIFY(m_line->Raw().endsWith("ADMIN_MODE\r\n>"));

    // The leave sequence is echoed whole and logs out: a password alone is no login.
    QVERIFY(m_line->SendAndWaitEcho(QByteArray(5, '\x18') + QByteArray(9, '\r'), 2000));
    QVERIFY(m_line->SendAndWaitEcho(System + '\r'));
    QVERIFY(m_line->StaysQuiet(300));

    QVERIFY(m_line->Wake());
    QCOMPARE(m_line->Login(System), QByteArray("SYSTEM_MODE"));
    QCOMPARE(m_line->Prompt(), QByteArray(">"));
}

void TestUnitDialogue::busyUnitKeepsAskingForThePassword()
{
    QCOMPARE(m_unit->Control("fault busy on"), QByteArray("ok fault busy on"));
    QVERIFY(m_line->Wake());
    QCOMPARE(m_line->Login(System), QByteArray("BUSY"));
    QCOMPARE(m_unit->Control("fault busy off"), QByteArray("ok fault busy off"));
    // After BUSY the program sends the password again without waking the unit.
    QCOMPARE(m_line->Login(System), QByteArray("SYSTEM_MODE"));
    QCOMPARE(m_line->Prompt(), QByteArray(">"));
}

void TestUnitDialogue::navigationPromptsFollowReplies_data()
{
    QTest::addColumn<QString>("lineEnd");
    QTest::newRow("CR LF") << QStringLiteral("crlf");
    QTest::newRow("CR") << QStringLiteral("cr");
}

void TestUnitDialogue::navigationPromptsFollowReplies()
{
    QFETCH(QString, lineEnd);
    Start({QStringLiteral("--line-end"), lineEnd});
    QVERIFY(m_line->LoginTo(System, "SYS"));
    for (const QByteArray menu : {"LIST", "MAIL", "MENU", "TIME", "SYS"}) {
        QVERIFY(m_line->SendAndWaitEcho("\r"));
        QCOMPARE(m_line->Prompt(), QByteArray("PC>"));
        QVERIFY(m_line->SendAndWaitEcho(menu + '\r'));
        QCOMPARE(m_line->Prompt(), "PC " + menu + '>');
    }
    QVERIFY(m_line->SendAndWaitEcho("FOO\r"));
    QCOMPARE(m_line->ReadThrough("\r"), QByteArray("ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QVERIFY(m_line->SendAndWaitEcho("\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC>"));
    QVERIFY(m_line->SendAndWaitEcho("NOWHERE\r"));
    QCOMPARE(m_line->ReadThrough("\r"), QByteArray("ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC>"));
    QVERIFY(m_line->SendAndWaitEcho("\r"));
    QCOMPARE(m_line->Prompt(), QByteArray(">"));
    QCOMPARE(m_line->Raw().contains('\n'), lineEnd == QLatin1String("crlf"));
}

void TestUnitDialogue::parameterRoundTrips_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("readBack");
    QTest::newRow("number") << 12 << QByteArray("250") << QByteArray("250");
    QTest::newRow("leading zeros") << 16 << QByteArray("007") << QByteArray("7");
    QTest::newRow("choice") << 1 << QByteArray("2") << QByteArray("2");
    QTest::newRow("digits and star") << 20 << QByteArray("*12*3") << QByteArray("*12*3");
    QTest::newRow("empty digits") << 103 << QByteArray("") << QByteArray("");
    QTest::newRow("eight digits") << 101 << QByteArray("12345678") << QByteArray("12345678");
    QTest::newRow("time") << 111 << QByteArray("730") << QByteArray("730");
    QTest::newRow("last minute") << 124 << QByteArray("2359") << QByteArray("2359");
    QTest::newRow("holiday flag") << 110 << QByteArray("1") << QByteArray("1");
    QTest::newRow("call code 0") << 100 << QByteArray("10") << QByteArray("10");
    QTest::newRow("override menu") << 546 << QByteArray("39") << QByteArray("39");
    QTest::newRow("system password") << 0 << QByteArray("87654321") << QByteArray("87654321");
}

void TestUnitDialogue::parameterRoundTrips()
{
    QFETCH(int, code);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, readBack);
    QVERIFY(m_line->LoginTo(System, "SYS"));
    QCOMPARE(m_line->SetParam(code, value), QByteArray("OK"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->GetParam(code), '=' + readBack);
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
}

void TestUnitDialogue::parameterRefusals_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray error("ERROR");
    const QByteArray codeRefused("(code refused) ERROR");
    QTest::newRow("above the limit") << 12 << QByteArray("1000") << error;
    QTest::newRow("below the limit") << 15 << QByteArray("0") << error;
    QTest::newRow("no such choice") << 1 << QByteArray("3") << error;
    QTest::newRow("negative") << 13 << QByteArray("-1") << error;
    QTest::newRow("not a number") << 12 << QByteArray("1a") << error;
    QTest::newRow("empty number") << 12 << QByteArray("") << error;
    QTest::newRow("empty password") << 0 << QByteArray("") << error;
    QTest::newRow("nine digits") << 0 << QByteArray("123456789") << error;
    QTest::newRow("star not allowed") << 101 << QByteArray("12*4") << error;
    QTest::newRow("25 digits") << 20 << QByteArray(25, '1') << error;
    QTest::newRow("hour 24") << 111 << QByteArray("2400") << error;
    QTest::newRow("minute 60") << 111 << QByteArray("1260") << error;
    QTest::newRow("flag 2") << 110 << QByteArray("2") << error;
    QTest::newRow("call code 11") << 100 << QByteArray("11") << error;
    QTest::newRow("override menu 40") << 511 << QByteArray("40") << error;
    QTest::newRow("firmware version") << 999 << QByteArray("1") << codeRefused;
    QTest::newRow("unknown code") << 55 << QByteArray("1") << codeRefused;
    QTest::newRow("code not a number") << -1 << QByteArray("1") << codeRefused;
}

void TestUnitDialogue::parameterRefusals()
{
    QFETCH(int, code);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, reply);
    QVERIFY(m_line->LoginTo(System, "SYS"));
    const QByteArray before = m_line->GetParam(code);
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->SetParam(code, value), reply);
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->GetParam(code), before);
}

void TestUnitDialogue::administratorReachesOnlyItsParameters()
{
    QVERIFY(m_line->LoginTo(Admin, "SYS"));
    QCOMPARE(m_line->GetParam(999), QByteArray("=10404"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->GetParam(0), QByteArray("ERROR"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->SetParam(12, "5"), QByteArray("(code refused) ERROR"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->Command("CLEAR", "60"), QByteArray("ERROR"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->SetParam(101, "555"), QByteArray("OK"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC SYS>"));
    QCOMPARE(m_line->GetParam(101), QByteArray("=555"));
}

void TestUnitDialogue::extensionListEdits()
{
    QVERIFY(m_line->LoginTo(System, "LIST"));
    QCOMPARE(GetAll(), QByteArray("100\r101\r102\r103\r200-219\rPC LIST>"));
    // The list job sends the access word after GETALL: one line, then the prompt.
    QVERIFY(m_line->SendAndWaitEcho("\xEA\xE4\xEB\r"));
    QVERIFY(m_line->ReadThrough("\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC LIST>"));

    const QList<std::pair<QByteArray, QByteArray>> changes = {
        {"ADD 300-309", "OK"}, {"ADD 305", "ERROR"}, {"ADD 3050", "OK"}, {"ADD 150", "OK"},
        {"ADD 310-300", "ERROR"}, {"ADD 12a", "ERROR"}, {"ADD 123456789", "ERROR"}, {"ADD 30-300", "ERROR"},
        {"ADD ", "ERROR"}, {"REMOVE 555", "ERROR"}, {"REMOVE 201", "ERROR"}, {"REMOVE 101", "OK"},
    };
    for (const auto& [change, reply] : changes) {
        const QList<QByteArray> words = change.split(' ');
        QCOMPARE(ListChange(words[0], words[1]), reply);
        QCOMPARE(m_line->Prompt(), QByteArray("PC LIST>"));
    }
    QCOMPARE(GetAll(), QByteArray("100\r102\r103\r150\r200-219\r300-309\r3050\rPC LIST>"));
}

void TestUnitDialogue::extensionListFillsUp()
{
    QVERIFY(m_line->LoginTo(System, "LIST"));
    for (int number = 5000; number < 5059; ++number) // 5 entries at the factory, 64 fit
        QCOMPARE(ListChange("ADD", QByteArray::number(number)), QByteArray("OK"));
    QCOMPARE(ListChange("ADD", "6000"), QByteArray("NO_FREE_MEM"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC LIST>"));
    QCOMPARE(ListChange("REMOVE", "5000"), QByteArray("OK"));
    QCOMPARE(ListChange("ADD", "6000"), QByteArray("OK"));
}

void TestUnitDialogue::mailboxesShareTheRecordingTime()
{
    QVERIFY(m_line->LoginTo(System, "MAIL"));
    QCOMPARE(GetAll(), QByteArray("N=101 S=900\rN=102 S=600\rFREE=2100\rPC MAIL>"));
    QCOMPARE(MailChange("CREATE", "103", 900), QByteArray("OK\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(MailChange("EDIT", "103", 2100), QByteArray("OK\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(GetAll(), QByteArray("N=101 S=900\rN=102 S=600\rN=103 S=2100\rFREE=0\rPC MAIL>"));
    QCOMPARE(MailChange("EDIT", "103", 2101), QByteArray("NO_FREE_MEM\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(MailChange("CREATE", "104", 60), QByteArray("NO_FREE_MEM\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(MailChange("CREATE", "101", 60), QByteArray("(owner refused) ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(MailChange("EDIT", "999", 60), QByteArray("(owner refused) NOT_FOUND\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(MailChange("EDIT", "101", 0), QByteArray("ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(m_line->Command("DELETE", "103"), QByteArray("OK"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(m_line->Command("DELETE", "103"), QByteArray("NOT_FOUND"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
    QCOMPARE(GetAll(), QByteArray("N=101 S=900\rN=102 S=600\rFREE=2100\rPC MAIL>"));
}

void TestUnitDialogue::sixteenthMailboxIsRefusedBeforeItsOwner()
{
    QVERIFY(m_line->LoginTo(System, "MAIL"));
    for (int owner = 200; owner < 213; ++owner)
        QCOMPARE(MailChange("CREATE", QByteArray::number(owner), 60, 10), QByteArray("OK\r"));
    // The refusal word's "N" stands for the prompt; the program reads the rest as a line.
    QCOMPARE(MailChange("CREATE", "300", 60), QByteArray("(refused) O_FREE_BOX\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MAIL>"));
}

void TestUnitDialogue::menuWriteAndReadBack()
{
    QVERIFY(m_line->LoginTo(System, "MENU"));
    QCOMPARE(MenuGet(0), (QList<QByteArray>{"TC=3", "MSG=main_menu.pcm 40000", "0N100", "1M1", "2N101", "3N102",
                                            "4L101", "5G101", "6-", "7-", "8-", "9N100"}));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
    const QList<QByteArray> items{"M12", "N101", "-", "N12345678", "L101", "G102", "M0", "-", "-", "M19"};
    QCOMPARE(MenuSet(5, "7", items), QByteArray("OK\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
    QList<QByteArray> expected{"TC=7", "MSG="};
    for (int key = 0; key < 10; ++key)
        expected << QByteArray::number(key) + items[key];
    QCOMPARE(MenuGet(5), expected);
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));

    QCOMPARE(m_line->Command("DELMSG", "0"), QByteArray("OK"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
    QCOMPARE(MenuGet(0).at(1), QByteArray("MSG="));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
    QCOMPARE(m_line->Command("GET", "23"), QByteArray("ERROR"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
}

void TestUnitDialogue::menuWriteRefusesWrongItems()
{
    QVERIFY(m_line->LoginTo(System, "MENU"));
    const QList<QByteArray> before = MenuGet(1);
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
    const QList<QByteArray> good{"-", "-", "-", "-", "-", "-", "-", "-", "-", "-"};
    QList<QByteArray> wrongThird = good;
    wrongThird[3] = "X12";
    QCOMPARE(MenuSet(1, "3", wrongThird), QByteArray("4 refused: ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
    QList<QByteArray> wrongLast = good;
    wrongLast[9] = "M20";
    QCOMPARE(MenuSet(1, "3", wrongLast), QByteArray("ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
    QCOMPARE(MenuSet(1, "x", good), QByteArray("0 refused: ERROR\r"));
    QCOMPARE(m_line->Prompt(), QByteArray("PC MENU>"));
    QCOMPARE(MenuGet(1), before);
}

void TestUnitDialogue::clockIsSetAndRunsOn()
{
    QVERIFY(m_line->LoginTo(System, "TIME"));
    const auto set = [this](const QByteArray& digits) {
        if (!m_line->SendAndWaitEcho("SET\r") || !m_line->WaitForText("T") || !m_line->SendAndWaitEcho(digits + '\r'))
            return QByteArray("(no exchange)");
        const QByteArray reply = m_line->ReadThrough("\r").value_or("(no reply)");
        return m_line->Prompt() == "PC TIME>" ? reply : "(no prompt after) " + reply;
    };
    const auto get = [this] {
        const bool echoed = m_line->SendAndWaitEcho("GET\r", 100);
        const QByteArray reply = m_line->ReadThrough("\r", 300).value_or("(no reply)");
        return echoed && m_line->Prompt() == "PC TIME>" ? reply.chopped(1) : "(no prompt after) " + reply;
    };
    QCOMPARE(set("311224235958"), QByteArray("OK\r"));
    const QDateTime setTo(QDate(2024, 12, 31), QTime(23, 59, 58));
    const QDateTime read = QDateTime::fromString(QString::fromLatin1(get()), QStringLiteral("ddMMyyHHmmss")).addYears(100);
    QVERIFY2(read >= setTo && read <= setTo.addSecs(30), qPrintable(read.toString()));

    QCOMPARE(set("290224120000"), QByteArray("OK\r")); // 2024 is a leap year
    for (const QByteArray wrong : {"290223120000", "310424120000", "011324120000", "010124240000", "010124126000",
                                   "0101241200", "01012412000a"})
        QCOMPARE(set(wrong), QByteArray("ERROR\r"));
    QVERIFY(get().startsWith("290224120"));
}

QTEST_GUILESS_MAIN(TestUnitDialogue)
#include "test_unit_dialogue.moc"
