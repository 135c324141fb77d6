// The headless upload and download against the emulated unit, as a user runs
// them: a recording sent and received back byte for byte for a menu, a greeting
// and a service message (also to standard output), and every way they fail
// with their exit codes — a file that cannot be sent or a place a download
// cannot go (the unit hears nothing), a target the unit does not have or the
// login may not reach, nothing recorded, the unit's error report (after a
// download that arrived whole: the file saved, exit code 4), the unit's side
// cancelling (in words, the file saved when it had come whole).
#include "TappedLine.h"
#include "TestFiles.h"
#include "UnitClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

namespace {

constexpr int ProgramMs = 120000;
constexpr int Usage = 3;
constexpr int Failed = 2;
constexpr int SavedWithError = 4;

using TRun = TProgramRun;

} // namespace

class TestHeadlessTransfer : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TUnitProcess> unit;
    std::unique_ptr<QTemporaryDir> dir;

    QString path(const QString& name) const { return dir->filePath(name); }

    // parlotel --<command> TARGET FILE against the unit, with the system password
    // unless another is given.
    TRun run(const char* command, const QString& target, const QString& file, const QString& password = "1234",
             const QString& device = {})
    {
        TChildProcess program;
        const QStringList args{QStringLiteral("--") + QLatin1String(command), target, file,
                               QStringLiteral("--password"), password, QStringLiteral("--device"),
                               device.isEmpty() ? unit->Pty() : device};
        if (!program.Start(QStringLiteral(PARLOTEL_EXE), args))
            return {};
        program.CloseInput();
        return FinishRun(program, ProgramMs);
    }

    int received()
    {
        static const QRegularExpression count(QStringLiteral("received=(\\d+)"));
        return count.match(QString::fromLatin1(unit->Control("count"))).captured(1).toInt();
    }

private slots:
    void init()
    {
        unit = std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit->Pty().isEmpty());
        dir = std::make_unique<QTemporaryDir>();
    }

    void cleanup() { unit.reset(); }

    void uploadThenDownloadTheSameBytes_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("menu") << "menu:7";
        QTest::newRow("greeting") << "menu:21";
        QTest::newRow("service message") << "message:73";
    }

    void uploadThenDownloadTheSameBytes()
    {
        QFETCH(QString, target);
        const QByteArray sound = SoundBytes(20000 + 333, quint32(target.size()));
        QVERIFY(WriteTestFile(path("up.pcm"), sound));
        TRun r = run("upload", target, path("up.pcm"));
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        // Not a terminal: no progress lines, no message.
        QVERIFY2(!r.Errors.contains("parlotel"), r.Errors.constData());

        // Over an existing file of the user's.
        QVERIFY(WriteTestFile(path("down.pcm"), "old"));
        r = run("download", target, path("down.pcm"));
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(ReadTestFile(path("down.pcm")), sound);

        // "-" is standard output.
        r = run("download", target, QStringLiteral("-"));
        QVERIFY2(r.Exit == 0, r.Errors.constData());
        QCOMPARE(r.Out, sound);
    }

    void refusedBeforeTheUnitHearsOfIt_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("said");
        QTest::newRow("no such file") << "upload" << "menu:1" << "none.pcm" << "file not found: ";
        QTest::newRow("a folder") << "upload" << "menu:1" << "." << " is a folder, not a file";
        QTest::newRow("an empty file") << "upload" << "menu:1" << "empty.pcm" << "file is empty: ";
        QTest::newRow("download into no folder") << "download" << "menu:0" << "gone/x.pcm" << "gone does not exist";
        QTest::newRow("download onto a folder") << "download" << "menu:0" << "." << ": it is a folder";
        QTest::newRow("menu beyond the greetings") << "upload" << "menu:23" << "up.pcm" << "unknown target 'menu:23'";
        QTest::newRow("message below 60") << "download" << "message:59" << "x.pcm" << "unknown target";
        QTest::newRow("no kind") << "download" << "7" << "x.pcm" << "unknown target";
    }

    void refusedBeforeTheUnitHearsOfIt()
    {
        QFETCH(QString, command);
        QFETCH(QString, target);
        QFETCH(QString, file);
        QFETCH(QString, said);
        QVERIFY(WriteTestFile(path("up.pcm"), "sound") && WriteTestFile(path("empty.pcm"), {}));
        const TRun r = run(qPrintable(command), target, file == u'.' ? dir->path() : path(file));
        QCOMPARE(r.Exit, Usage);
        QVERIFY2(QString::fromUtf8(r.Errors).contains(said), r.Errors.constData());
        QCOMPARE(received(), 0);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("x.pcm"))));
    }

    void failuresOnTheUnitSide()
    {
        // Nothing recorded under menu 5: nothing received, no file made.
        TRun r = run("download", "menu:5", path("none.pcm"));
        QCOMPARE(r.Exit, Failed);
        QVERIFY2(r.Errors.contains("menu:5"), r.Errors.constData());
        QVERIFY(!QFileInfo::exists(path("none.pcm")));

        // Service messages are for the system user only.
        QVERIFY(WriteTestFile(path("up.pcm"), SoundBytes(3000, 9)));
        r = run("upload", "message:61", path("up.pcm"), "1111");
        QCOMPARE(r.Exit, Failed);
        QVERIFY2(r.Errors.contains("Операция возможна только в системном режиме."), r.Errors.constData());

        // The unit's own report of a failed transfer.
        QCOMPARE(unit->Control("fault ymodem 3"), QByteArray("ok fault ymodem 3"));
        r = run("upload", "menu:2", path("up.pcm"));
        QCOMPARE(r.Exit, Failed);
        QVERIFY2(r.Errors.contains("parlotel: YMODEM: error 3"), r.Errors.constData());

        // The unit's error after a download that arrived whole: the file
        // replaces the earlier one, both facts are said, and the exit code
        // tells a script so.
        QVERIFY(WriteTestFile(path("menu0.pcm"), "old"));
        QCOMPARE(unit->Control("fault ymodem 3"), QByteArray("ok fault ymodem 3"));
        r = run("download", "menu:0", path("menu0.pcm"));
        QCOMPARE(r.Exit, SavedWithError);
        const QString said = QStringLiteral("parlotel: YMODEM: error 3\nparlotel: Файл принят целиком и сохранен: ")
            + path("menu0.pcm") + QLatin1Char('\n');
        QVERIFY2(QString::fromUtf8(r.Errors).endsWith(said), r.Errors.constData());
        QCOMPARE(ReadTestFile(path("menu0.pcm")).size(), 5 * 8000); // the factory's "main_menu.pcm"
    }

    // The unit's side cancels a download by a CAN in place of a block's lead
    // byte, or of its end of file once every byte has come.
    void transferFailureInWords_data()
    {
        QTest::addColumn<bool>("atTheEnd");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("in the middle: not saved") << false << Failed << "Файл не сохранен: ";
        QTest::newRow("after the last byte: saved") << true << SavedWithError << "Файл принят целиком и сохранен: ";
    }

    void transferFailureInWords()
    {
        QFETCH(bool, atTheEnd);
        QFETCH(int, exitCode);
        QFETCH(QString, outcome);
        // The unit gives up on its silent line at once.
        unit = std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("0"),
                                                          QStringLiteral("--transfer-timeout"), QStringLiteral("1000")});
        QVERIFY(!unit->Pty().isEmpty());
        const TTappedLine line(unit->Pty(), TByteRelay::BtoA,
                               YModemLeads("main_menu.pcm", [atTheEnd](int block, char lead) {
                                   return (atTheEnd ? lead == '\x04' : block == 2) ? '\x18' : lead;
                               }));
        const QString target = path("menu0.pcm");
        QVERIFY(WriteTestFile(target, "old"));
        const TRun r = run("download", "menu:0", target, "1234", line.Device());
        QCOMPARE(r.Exit, exitCode);
        const QString said = QStringLiteral("parlotel: YMODEM: error 3\nparlotel: YModem: устройство отменило передачу\n"
                                            "parlotel: ")
            + outcome + target + QLatin1Char('\n');
        QVERIFY2(QString::fromUtf8(r.Errors).endsWith(said), r.Errors.constData());
        QCOMPARE(ReadTestFile(target).size(), atTheEnd ? 5 * 8000 : 3);
    }

    void wrongCommandLines()
    {
        for (const QStringList& args : {QStringList{"--upload", "menu:1"}, QStringList{"--download"},
                                        QStringList{"--upload", "menu:1", "a.pcm", "b.pcm"},
                                        QStringList{"--export", "x.txt", "y.txt"}}) {
            TChildProcess program;
            QVERIFY(program.Start(QStringLiteral(PARLOTEL_EXE), args));
            QCOMPARE(program.Wait(ProgramMs), Usage);
        }
    }
};

QTEST_GUILESS_MAIN(TestHeadlessTransfer)
#include "test_headlesstransfer.moc"
