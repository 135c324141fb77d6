// The commands without the window against the emulated unit: single settings
// of every kind read and written, values refused before anything is sent, the
// clock, the list and the mailboxes, a backup of one unit (for its owner only,
// also to standard output) restored onto a second one in another state (as
// administrator, as a dry run, in full, the passwords' values masked), a
// backup kept as an earlier version wrote it restored, bad backup files and
// targets, and the line trace of a login.
#include "UnitClient.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

constexpr int ProgramMs = 90000;
const QString SystemPassword = QStringLiteral("1234");
const QString AdminPassword = QStringLiteral("1111");

struct TRun {
    int Exit = -1;
    QString Out;
    QString Errors;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QJsonObject readJson(const QString& path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

// A backup without what differs between any two backups: the date and the
// names of the recordings.
QJsonObject comparable(QJsonObject backup)
{
    backup.remove(QStringLiteral("date"));
    backup.remove(QStringLiteral("recordings"));
    QJsonObject menus = backup.value(QStringLiteral("menus")).toObject();
    for (const QString& code : menus.keys()) {
        QJsonObject menu = menus.value(code).toObject();
        menu.remove(QStringLiteral("file"));
        menus.insert(code, menu);
    }
    backup.insert(QStringLiteral("menus"), menus);
    return backup;
}

// An emulated unit, unpaced, keeping its state in a file.
class TUnit {
public:
    explicit TUnit(const QString& stateFile)
        : Process({QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("--state"), stateFile})
    {
    }
    TUnitProcess Process;

    QString Pty() const { return Process.Pty(); }
    // Bytes the unit has received so far.
    qint64 Received()
    {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("received=(\\d+)")).match(QString::fromLatin1(Process.Control("count")));
        return m.hasMatch() ? m.captured(1).toLongLong() : -1;
    }
};

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }

    // parlotel with a command on the unit's line.
    static TRun run(const TUnit& unit, const QStringList& args, const QString& password = SystemPassword)
    {
        return runProgram(args + QStringList{QStringLiteral("--device"), unit.Pty(), QStringLiteral("--password"), password});
    }

    // Every run also checks that standard error carries only the program's
    // own lines, even where Qt would have something to say (no
    // XDG_RUNTIME_DIR, as under cron or su).
    static TRun runProgram(const QStringList& args)
    {
        TChildProcess program;
        TRun result;
        TChildOptions options;
        options.Environment = {QStringLiteral("XDG_RUNTIME_DIR=")};
        if (!program.Start(QStringLiteral(PARLOTEL_EXE), args, options))
            return result;
        program.CloseInput();
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ProgramMs) {
            const QByteArray more = program.Read(1000);
            out += more;
            if (more.isEmpty() && !program.Running())
                break;
        }
        result.Exit = program.Wait(ProgramMs);
        result.Out = QString::fromUtf8(out);
        result.Errors = QString::fromUtf8(program.ReadErrors());
        static const QRegularExpression stray(QStringLiteral("^(?!parlotel: |Usage: |       parlotel ).*$"),
                                              QRegularExpression::MultilineOption);
        const QRegularExpressionMatch line = stray.match(result.Errors.chopped(result.Errors.endsWith(u'\n')));
        QTest::qVerify(result.Errors.isEmpty() || !line.hasMatch(), "standard error", qPrintable(QStringLiteral("stray line \"%1\" in:\n%2")
                                                                       .arg(line.captured(), result.Errors)),
                       __FILE__, __LINE__);
        return result;
    }

    // A unit state that differs from the factory's in every section.
    void makeDifferent(const QString& stateFile)
    {
        {
            TUnit unit(stateFile); // writes the factory state
            QVERIFY(!unit.Pty().isEmpty());
        }
        QJsonObject state = readJson(stateFile);
        QJsonObject params = state.value(QStringLiteral("parameters")).toObject();
        for (const auto& [code, value] : {std::pair{"12", "555"}, {"101", "999"}, {"111", "1000"}, {"110", "1"},
                                          {"501", "1"}, {"511", "7"}, {"20", "*77"}, {"100", "3"}})
            params.insert(QLatin1String(code), QLatin1String(value));
        state.insert(QStringLiteral("parameters"), params);
        state.insert(QStringLiteral("extensions"), QJsonArray{"101", "102", "103", "200-219", "300"});
        state.insert(QStringLiteral("mailboxes"),
                     QJsonArray{QJsonObject{{QStringLiteral("owner"), "105"}, {QStringLiteral("seconds"), 300}},
                                QJsonObject{{QStringLiteral("owner"), "101"}, {QStringLiteral("seconds"), 1200}}});
        QJsonArray menus = state.value(QStringLiteral("menus")).toArray();
        QJsonObject menu = menus.at(0).toObject();
        menu.insert(QStringLiteral("tc"), 42);
        menu.insert(QStringLiteral("items"), QJsonArray{"N105", "M3", "-", "-", "-", "-", "-", "-", "-", "G105"});
        menus.replace(0, menu);
        state.insert(QStringLiteral("menus"), menus);
        writeFile(stateFile, QJsonDocument(state).toJson());
    }

    // Sets a value, expecting it shown back as shown, and reads it again.
    void setAndGet(const TUnit& unit, const QString& code, const QString& value, const QString& shown)
    {
        TRun r = run(unit, {QStringLiteral("--set"), code + QLatin1Char('=') + value});
        QVERIFY2(r.Exit == 0, qPrintable(code + QLatin1Char(' ') + r.Errors));
        QCOMPARE(r.Out, shown + QLatin1Char('\n'));
        r = run(unit, {QStringLiteral("--get"), code});
        QCOMPARE(r.Exit, 0);
        QCOMPARE(r.Out, shown + QLatin1Char('\n'));
    }

    // A command that must be refused with exit code 3 before the unit hears anything.
    void refusedBeforeSending(TUnit& unit, const QStringList& args, const char* reason)
    {
        const qint64 before = unit.Received();
        const TRun r = run(unit, args);
        QVERIFY2(r.Exit == 3, qPrintable(args.join(QLatin1Char(' ')) + QStringLiteral(": ") + r.Errors));
        QVERIFY2(r.Errors.contains(QLatin1String(reason)), qPrintable(r.Errors));
        QCOMPARE(unit.Received(), before);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void singleSettingsOfEveryKind()
    {
        TUnit unit(path(QStringLiteral("single.json")));
        QVERIFY(!unit.Pty().isEmpty());
        setAndGet(unit, QStringLiteral("12"), QStringLiteral("150"), QStringLiteral("150"));
        setAndGet(unit, QStringLiteral("01"), QStringLiteral("Запрет тонального набора"),
                  QStringLiteral("Запрет тонального набора"));
        setAndGet(unit, QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Запрет настройки с телефона"));
        setAndGet(unit, QStringLiteral("20"), QStringLiteral("*99"), QStringLiteral("*99"));
        setAndGet(unit, QStringLiteral("21"), QString(), QStringLiteral("Не назначен"));
        setAndGet(unit, QStringLiteral("103"), QStringLiteral("5550"), QStringLiteral("5550"));
        setAndGet(unit, QStringLiteral("111"), QStringLiteral("8:05"), QStringLiteral("08:05"));
        setAndGet(unit, QStringLiteral("100"), QStringLiteral("0"), QStringLiteral("0"));
        setAndGet(unit, QStringLiteral("100"), QStringLiteral("не назначен"), QStringLiteral("не назначен"));
        setAndGet(unit, QStringLiteral("110"), QStringLiteral("1"), QStringLiteral("1"));
        setAndGet(unit, QStringLiteral("501"), QStringLiteral("2"), QStringLiteral("2 (Приветствия + меню перевода вызова)"));
        setAndGet(unit, QStringLiteral("546"), QStringLiteral("39"), QStringLiteral("39"));

        // The unit holds what was written, in its own encoding.
        const QJsonObject params = readJson(path(QStringLiteral("single.json"))).value(QStringLiteral("parameters")).toObject();
        QCOMPARE(params.value(QStringLiteral("12")).toString(), QStringLiteral("150"));
        QCOMPARE(params.value(QStringLiteral("111")).toString(), QStringLiteral("805"));
        QCOMPARE(params.value(QStringLiteral("100")).toString(), QStringLiteral("0"));

        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("12=1000")}, "from 0 to 999");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("15=0")}, "from 1 to 20");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("01=3")}, "one of");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("20=12a")}, "digits");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("101=123456789")}, "0 to 8 digits");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("104=")}, "1 to 8 digits");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("111=24:00")}, "hh:mm");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("112=12:60")}, "hh:mm");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("100=12")}, "key");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("110=2")},
                             "110: the value must be 0 or 1 (the holiday flag)");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("511=40")}, "from 0 to 39");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("99=1")}, "no single setting");
        refusedBeforeSending(unit, {QStringLiteral("--get"), QStringLiteral("999")}, "no single setting");
        refusedBeforeSending(unit, {QStringLiteral("--set"), QStringLiteral("12")}, "CODE=VALUE");

        // A value the unit refuses: its read-back stands, and the run fails.
        QCOMPARE(unit.Process.Control("fault refuse SET"), QByteArray("ok fault refuse SET"));
        TRun r = run(unit, {QStringLiteral("--set"), QStringLiteral("12=200")});
        QCOMPARE(r.Exit, 2);
        QVERIFY2(r.Errors.contains(QStringLiteral("Устройство не приняло значение параметра 12; в устройстве: \"150\"")),
                 qPrintable(r.Errors));
        QCOMPARE(unit.Process.Control("fault none"), QByteArray("ok fault none"));

        // The administrator reaches the numbers and the schedule only.
        r = run(unit, {QStringLiteral("--get"), QStringLiteral("12")}, AdminPassword);
        QCOMPARE(r.Exit, 2);
        QVERIFY2(r.Errors.contains(QStringLiteral("Операция возможна только в системном режиме.")), qPrintable(r.Errors));
        r = run(unit, {QStringLiteral("--set"), QStringLiteral("124=23:59")}, AdminPassword);
        QCOMPARE(r.Exit, 0);
        QCOMPARE(r.Out, QStringLiteral("23:59\n"));
    }

    void clockListAndMailboxes()
    {
        TUnit unit(path(QStringLiteral("clock.json")));
        QVERIFY(!unit.Pty().isEmpty());
        TRun r = run(unit, {QStringLiteral("--clock-set"), QStringLiteral("2024-12-31 23:59:50")});
        QVERIFY2(r.Exit == 0, qPrintable(r.Errors));
        r = run(unit, {QStringLiteral("--clock")});
        QCOMPARE(r.Exit, 0);
        const QDateTime read = QDateTime::fromString(r.Out.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY2(read.isValid(), qPrintable(r.Out));
        // The unit's clock runs on from when it was set.
        const qint64 ran = QDateTime(QDate(2024, 12, 31), QTime(23, 59, 50)).secsTo(read);
        QVERIFY2(ran >= 0 && ran < 60, qPrintable(r.Out));

        r = run(unit, {QStringLiteral("--clock-set"), QStringLiteral("now")});
        QCOMPARE(r.Exit, 0);
        const qint64 off = QDateTime::currentDateTime().secsTo(
            QDateTime::fromString(r.Out.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        QVERIFY2(off > -60 && off <= 1, qPrintable(r.Out));
        refusedBeforeSending(unit, {QStringLiteral("--clock-set"), QStringLiteral("2024-02-30 10:00:00")}, "YYYY");
        refusedBeforeSending(unit, {QStringLiteral("--clock-set"), QStringLiteral("2100-01-01 10:00:00")}, "YYYY");

        r = run(unit, {QStringLiteral("--list")}, AdminPassword);
        QCOMPARE(r.Exit, 0);
        QCOMPARE(r.Out, QStringLiteral("100\n101\n102\n103\n200-219\n"));
        r = run(unit, {QStringLiteral("--mailboxes")});
        QCOMPARE(r.Exit, 0);
        QCOMPARE(r.Out, QStringLiteral("101 15:00\n102 10:00\nfree 35:00\n"));
    }

    void backupRestoredOntoAnotherUnit()
    {
        const QString first = path(QStringLiteral("first.json"));
        const QString second = path(QStringLiteral("second.json"));
        const QString backup = path(QStringLiteral("first.backup"));
        {
            TUnit unit(first);
            QVERIFY(!unit.Pty().isEmpty());
            // It holds the passwords: for its owner only, also where it
            // replaces a file everybody could read. Not on a terminal: no progress.
            writeFile(backup, "earlier");
            QCOMPARE(::chmod(QFile::encodeName(backup).constData(), 0644), 0);
            TRun r = run(unit, {QStringLiteral("--backup"), backup});
            QVERIFY2(r.Exit == 0, qPrintable(r.Errors));
            struct stat st {};
            QCOMPARE(::stat(QFile::encodeName(backup).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, mode_t(0600));
            QVERIFY2(!r.Errors.contains(QStringLiteral("чтение")), qPrintable(r.Errors));
            // "-" is standard output.
            r = run(unit, {QStringLiteral("--backup"), QStringLiteral("-")});
            QVERIFY2(r.Exit == 0, qPrintable(r.Errors));
            QCOMPARE(comparable(QJsonDocument::fromJson(r.Out.toUtf8()).object()), comparable(readJson(backup)));
        }
        const QJsonObject saved = readJson(backup);
        QCOMPARE(saved.value(QStringLiteral("version")).toInt(), 1);
        QCOMPARE(saved.value(QStringLiteral("firmware")).toString(), QStringLiteral("1.4.4"));
        QCOMPARE(saved.value(QStringLiteral("level")).toString(), QStringLiteral("system"));

        makeDifferent(second);
        TUnit unit(second);
        QVERIFY(!unit.Pty().isEmpty());

        // A dry run tells the differences and changes nothing.
        const QByteArray before = readFile(second);
        TRun r = run(unit, {QStringLiteral("--restore"), backup, QStringLiteral("--dry-run")});
        QVERIFY2(r.Exit == 0, qPrintable(r.Errors));
        for (const char* line : {"differs setting 12: 555 -> 100", "differs extension 100: missing -> added",
                                 "differs extension 300: listed -> removed", "differs mailbox 102: none -> 10:00",
                                 "differs mailbox 105: 05:00 -> none", "differs mailbox 101: 20:00 -> 15:00",
                                 "differs menu 0: TC 42", "differs setting 501", "differs setting 101: 999 -> 100"})
            QVERIFY2(r.Out.contains(QLatin1String(line)), line);
        QCOMPARE(readFile(second), before);

        // As administrator: the system sections are skipped and stay as they were.
        r = run(unit, {QStringLiteral("--restore"), backup}, AdminPassword);
        QVERIFY2(r.Exit == 0, qPrintable(r.Errors + r.Out));
        QVERIFY2(r.Out.contains(QLatin1String("skipped: system parameters")), qPrintable(r.Out));
        QVERIFY2(r.Out.contains(QLatin1String("changed setting 101: 999 -> 100")), qPrintable(r.Out));
        QVERIFY2(!r.Out.contains(QLatin1String("setting 12:")), qPrintable(r.Out));
        for (const char* line : {"changed extension 300: listed -> removed", "changed extension 100: missing -> added",
                                 "changed mailbox 105: 05:00 -> none", "changed mailbox 101: 20:00 -> 15:00",
                                 "changed mailbox 102: none -> 10:00", "changed menu 0: TC 42"})
            QVERIFY2(r.Out.contains(QLatin1String(line)), qPrintable(QLatin1String(line) + QLatin1Char('\n') + r.Out));
        // Room is made before it is taken: removed before added, deleted and shrunk before created.
        QVERIFY(r.Out.indexOf(QLatin1String("extension 300")) < r.Out.indexOf(QLatin1String("extension 100")));
        QVERIFY(r.Out.indexOf(QLatin1String("mailbox 105")) < r.Out.indexOf(QLatin1String("mailbox 101")));
        QVERIFY(r.Out.indexOf(QLatin1String("mailbox 101")) < r.Out.indexOf(QLatin1String("mailbox 102")));
        const QJsonObject params = readJson(second).value(QStringLiteral("parameters")).toObject();
        QCOMPARE(params.value(QStringLiteral("12")).toString(), QStringLiteral("555"));
        QCOMPARE(params.value(QStringLiteral("101")).toString(), QStringLiteral("100"));

        // What the unit refuses is told, the rest goes on, and the run fails.
        QCOMPARE(unit.Process.Control("fault refuse SET"), QByteArray("ok fault refuse SET"));
        r = run(unit, {QStringLiteral("--restore"), backup});
        QCOMPARE(r.Exit, 2);
        for (const char* line : {"refused setting 12: 555 -> 100", "refused setting 20: *77 -> *1",
                                 "refused setting 511: 7 -> 0", "0 changed, 114 already equal, 4 refused"})
            QVERIFY2(r.Out.contains(QLatin1String(line)), qPrintable(QLatin1String(line) + QLatin1Char('\n') + r.Out));
        QCOMPARE(unit.Process.Control("fault none"), QByteArray("ok fault none"));

        r = run(unit, {QStringLiteral("--restore"), backup});
        QVERIFY2(r.Exit == 0, qPrintable(r.Errors + r.Out));
        QVERIFY2(r.Out.contains(QLatin1String("changed setting 12: 555 -> 100")), qPrintable(r.Out));
        QVERIFY2(r.Out.contains(QLatin1String(" 0 refused")), qPrintable(r.Out));
        r = run(unit, {QStringLiteral("--backup"), path(QStringLiteral("second.backup"))});
        QCOMPARE(r.Exit, 0);
        QCOMPARE(comparable(readJson(path(QStringLiteral("second.backup")))), comparable(saved));

        // Restored again, everything is equal already.
        r = run(unit, {QStringLiteral("--restore"), backup});
        QCOMPARE(r.Exit, 0);
        QVERIFY2(r.Out.contains(QRegularExpression(QStringLiteral("^0 changed, \\d+ already equal, 0 refused$"),
                                                   QRegularExpression::MultilineOption)),
                 qPrintable(r.Out));

        // The passwords' values stay out of the report, both ways.
        QJsonObject other = saved;
        QJsonObject settings = other.value(QStringLiteral("settings")).toObject();
        settings.insert(QStringLiteral("104"), QStringLiteral("5678"));
        other.insert(QStringLiteral("settings"), settings);
        const QString otherPassword = path(QStringLiteral("password.backup"));
        writeFile(otherPassword, QJsonDocument(other).toJson());
        for (const QString& file : {otherPassword, backup}) {
            r = run(unit, {QStringLiteral("--restore"), file});
            QVERIFY2(r.Exit == 0, qPrintable(r.Errors + r.Out));
            QVERIFY2(r.Out.contains(QLatin1String("changed setting 104: **** -> ****")), qPrintable(r.Out));
            QVERIFY2(!r.Out.contains(QLatin1String("5678")) && !r.Out.contains(AdminPassword), qPrintable(r.Out));
        }
        QCOMPARE(run(unit, {QStringLiteral("--get"), QStringLiteral("104")}).Out, AdminPassword + QLatin1Char('\n'));
    }

    // A backup kept as an earlier version of the program wrote it, with a
    // value of every kind away from the factory's, restores onto a factory
    // unit: each value is read back as written, and the unit's new backup holds
    // what the old one did.
    void earlierBackupRestored()
    {
        const QString earlier = qEnvironmentVariable("PARLOTEL_TEST_DATA") + QStringLiteral("/backup_v1_system.json");
        TUnit unit(path(QStringLiteral("earlier.json")));
        QVERIFY(!unit.Pty().isEmpty());
        TRun r = run(unit, {QStringLiteral("--restore"), earlier});
        QVERIFY2(r.Exit == 0, qPrintable(r.Errors + r.Out));
        for (const char* line : {"changed setting 12: 100 -> 555",
                                 "changed setting 01: Нет ограничения -> Запрет тонального набора",
                                 "changed setting 21: *2 -> Не назначен", "changed setting 100: 0 -> не назначен",
                                 "changed setting 102: 101 -> ", "changed setting 110: 0 -> 1",
                                 "changed setting 111: 09:00 -> 08:30",
                                 "changed setting 501: 0 (Не заменять) -> 2 (Приветствия + меню перевода вызова)",
                                 "changed setting 94: Нет -> Да", "changed menu 0: TC 3"})
            QVERIFY2(r.Out.contains(QString::fromUtf8(line)), qPrintable(QString::fromUtf8(line) + QLatin1Char('\n') + r.Out));
        QVERIFY2(r.Out.contains(QLatin1String(" 0 refused")), qPrintable(r.Out));
        r = run(unit, {QStringLiteral("--backup"), path(QStringLiteral("earlier.backup"))});
        QCOMPARE(r.Exit, 0);
        QCOMPARE(comparable(readJson(path(QStringLiteral("earlier.backup")))), comparable(readJson(earlier)));
    }

    void unusableBackupsRefused()
    {
        TUnit unit(path(QStringLiteral("refuse.json")));
        QVERIFY(!unit.Pty().isEmpty());
        const QString good = path(QStringLiteral("good.backup"));
        QCOMPARE(run(unit, {QStringLiteral("--backup"), good}, AdminPassword).Exit, 0);
        const QJsonObject backup = readJson(good);
        QCOMPARE(backup.value(QStringLiteral("level")).toString(), QStringLiteral("admin"));
        QVERIFY(!backup.value(QStringLiteral("settings")).toObject().contains(QStringLiteral("12")));

        const auto variant = [&](const QString& name, const std::function<void(QJsonObject&)>& change) {
            QJsonObject json = backup;
            change(json);
            writeFile(path(name), QJsonDocument(json).toJson());
            return path(name);
        };
        writeFile(path(QStringLiteral("text.backup")), "Версия прошивки: 1.4.4\r\n");
        refusedBeforeSending(unit, {QStringLiteral("--restore"), path(QStringLiteral("text.backup"))},
                             "not a backup file: not JSON (");
        writeFile(path(QStringLiteral("array.backup")), "[1, 2]");
        refusedBeforeSending(unit, {QStringLiteral("--restore"), path(QStringLiteral("array.backup"))},
                             "not a backup file: it holds a JSON array, not an object");
        refusedBeforeSending(unit,
                             {QStringLiteral("--restore"), variant(QStringLiteral("number.backup"), [](QJsonObject& j) {
                                  QJsonObject s = j.value(QStringLiteral("settings")).toObject();
                                  s.insert(QStringLiteral("101"), 100);
                                  j.insert(QStringLiteral("settings"), s);
                              })},
                             "setting \"101\": the value must be a string in double quotes");
        writeFile(path(QStringLiteral("cut.backup")), readFile(good).left(200));
        refusedBeforeSending(unit, {QStringLiteral("--restore"), path(QStringLiteral("cut.backup"))}, "not a backup");
        refusedBeforeSending(unit, {QStringLiteral("--restore"), path(QStringLiteral("none.backup"))}, "cannot read");
        refusedBeforeSending(unit,
                             {QStringLiteral("--restore"),
                              variant(QStringLiteral("v2.backup"), [](QJsonObject& j) { j.insert(QStringLiteral("version"), 2); })},
                             "version 2 is not known");
        refusedBeforeSending(unit,
                             {QStringLiteral("--restore"), variant(QStringLiteral("time.backup"), [](QJsonObject& j) {
                                  QJsonObject s = j.value(QStringLiteral("settings")).toObject();
                                  s.insert(QStringLiteral("111"), QStringLiteral("25:00"));
                                  j.insert(QStringLiteral("settings"), s);
                              })},
                             "setting 111");
        refusedBeforeSending(unit,
                             {QStringLiteral("--restore"), variant(QStringLiteral("sys.backup"), [](QJsonObject& j) {
                                  QJsonObject s = j.value(QStringLiteral("settings")).toObject();
                                  s.insert(QStringLiteral("12"), QStringLiteral("100"));
                                  j.insert(QStringLiteral("settings"), s);
                              })},
                             "setting \"12\" is a system parameter, but the backup was made as administrator");
        refusedBeforeSending(unit,
                             {QStringLiteral("--restore"), variant(QStringLiteral("item.backup"), [](QJsonObject& j) {
                                  QJsonObject menus = j.value(QStringLiteral("menus")).toObject();
                                  QJsonObject menu = menus.value(QStringLiteral("0")).toObject();
                                  menu.insert(QStringLiteral("items"), QJsonArray{"-", "M20", "-", "-", "-", "-", "-", "-", "-", "-"});
                                  menus.insert(QStringLiteral("0"), menu);
                                  j.insert(QStringLiteral("menus"), menus);
                              })},
                             "menu \"0\"");
        refusedBeforeSending(unit,
                             {QStringLiteral("--restore"), variant(QStringLiteral("mail.backup"), [](QJsonObject& j) {
                                  j.insert(QStringLiteral("mailboxes"),
                                           QJsonObject{{QStringLiteral("boxes"), QJsonObject{{QStringLiteral("12a"), 60}}}});
                              })},
                             "mailbox \"12a\"");
        refusedBeforeSending(unit,
                             {QStringLiteral("--restore"), variant(QStringLiteral("voice.backup"), [](QJsonObject& j) {
                                  j.insert(QStringLiteral("recordings"), QJsonObject{{QStringLiteral("99"), "x.pcm"}});
                              })},
                             "recording \"99\"");
        refusedBeforeSending(unit, {QStringLiteral("--restore"), good, QStringLiteral("--export"), good}, "one command");
        refusedBeforeSending(unit, {QStringLiteral("--backup"), good, QStringLiteral("--dry-run")}, "--dry-run");

        // A backup with nowhere to go is refused before the unit is read.
        refusedBeforeSending(unit, {QStringLiteral("--backup"), path(QStringLiteral("gone/unit.json"))},
                             qPrintable(QStringLiteral("cannot write %1: the folder %2 does not exist")
                                            .arg(path(QStringLiteral("gone/unit.json")), path(QStringLiteral("gone")))));
        refusedBeforeSending(unit, {QStringLiteral("--backup"), dir.path()},
                             qPrintable(QStringLiteral("cannot write %1: it is a folder").arg(dir.path())));
    }

    // A command line the parser would misread is refused, with the usage
    // lines only: the whole help would bury the one line that matters.
    void misreadCommandLinesRefused()
    {
        TUnit unit(path(QStringLiteral("usage.json")));
        QVERIFY(!unit.Pty().isEmpty());
        refusedBeforeSending(unit, {QStringLiteral("--get"), QStringLiteral("15"), QStringLiteral("--get"), QStringLiteral("16")},
                             "--get is given more than once");
        refusedBeforeSending(unit, {QStringLiteral("--upload"), QStringLiteral("menu:1")}, "--upload needs FILE");
        const TRun r = runProgram({QStringLiteral("--export"), QStringLiteral("--password"), SystemPassword,
                                   QStringLiteral("--device"), unit.Pty()});
        QCOMPARE(r.Exit, 3);
        QVERIFY2(r.Errors.startsWith(QLatin1String("parlotel: --export needs a value before --password")),
                 qPrintable(r.Errors));
        QVERIFY2(r.Errors.contains(QLatin1String("Usage: parlotel")) && !r.Errors.contains(QLatin1String("Options:")),
                 qPrintable(r.Errors));
        QVERIFY(!QFileInfo::exists(QStringLiteral("--password")));
    }

    // A message of two lines (the busy unit's) is two prefixed lines.
    void busyUnitTold()
    {
        TUnit unit(path(QStringLiteral("busy.json")));
        QVERIFY(!unit.Pty().isEmpty());
        QCOMPARE(unit.Process.Control("fault busy on"), QByteArray("ok fault busy on"));
        const TRun r = run(unit, {QStringLiteral("--get"), QStringLiteral("15")});
        QCOMPARE(r.Exit, 1);
        QVERIFY2(r.Errors.startsWith(QStringLiteral("parlotel: Устройство занято!\n"
                                                    "parlotel: Дождитесь освобождения всех линий и повторите ввод.\n")),
                 qPrintable(r.Errors));
    }

    // A device that cannot be opened is named, with the system's reason.
    void missingDeviceNamed()
    {
        const QString device = path(QStringLiteral("no-such-device"));
        TRun r = runProgram({QStringLiteral("--get"), QStringLiteral("15"), QStringLiteral("--device"), device,
                             QStringLiteral("--password"), SystemPassword});
        QCOMPARE(r.Exit, 1);
        QCOMPARE(r.Errors, QStringLiteral("parlotel: %1: Не удалось открыть порт.\n"
                                          "parlotel: Specified device not found (%1).\n").arg(device));
        r = runProgram({QStringLiteral("--get"), QStringLiteral("15"), QStringLiteral("--device"), dir.path(),
                        QStringLiteral("--password"), SystemPassword});
        QCOMPARE(r.Exit, 1);
        QVERIFY2(r.Errors.contains(QStringLiteral("Can't open specified device %1 (Error %2, ").arg(dir.path()).arg(EISDIR)),
                 qPrintable(r.Errors));
    }

    void traceOfALogin()
    {
        TUnit unit(path(QStringLiteral("trace.json")));
        QVERIFY(!unit.Pty().isEmpty());
        const QString trace = path(QStringLiteral("trace.txt"));
        TRun r = run(unit, {QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--trace"), trace});
        QVERIFY2(r.Exit == 0, qPrintable(r.Errors));
        const QStringList lines = QString::fromUtf8(readFile(trace)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 5);
        QVERIFY(lines.constFirst().startsWith(QLatin1String("# parlotel line trace")));
        static const QRegularExpression form(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ([<>]) (.*)$"));
        QStringList sent;
        QStringList received;
        for (const QString& line : lines.mid(1)) {
            const QRegularExpressionMatch m = form.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            (m.captured(1) == QLatin1String(">") ? sent : received) << m.captured(2);
        }
        const QString out = sent.join(QLatin1Char('\n'));
        const QString in = received.join(QLatin1Char('\n'));
        QVERIFY2(out.contains(QStringLiteral("<CAN>")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("кдл<CR>")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("****")), qPrintable(out));
        // A single setting reads the version and itself, no page around it.
        QCOMPARE(out.count(QStringLiteral("GET<CR>")), 2);
        QVERIFY2(!out.contains(QStringLiteral("GETALL")) && !out.contains(QStringLiteral("LIST<CR>")), qPrintable(out));
        QVERIFY2(in.contains(QStringLiteral("Password:")), qPrintable(in));
        QVERIFY2(in.contains(QStringLiteral("SYSTEM_MODE<CR><LF>")), qPrintable(in));
        QVERIFY2(!out.contains(SystemPassword) && !in.contains(SystemPassword), qPrintable(out + in));

        // A trace that cannot be written where it is asked for: nothing sent.
        refusedBeforeSending(unit, {QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--trace"), dir.path()},
                             qPrintable(QStringLiteral("cannot write %1: it is a folder").arg(dir.path())));
    }
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
