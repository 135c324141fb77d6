// Headless commands stopped by a signal, against a paced emulated unit: Ctrl-C
// in the middle of a download cancels the transfer and says goodbye (the unit
// takes a new login at once, the earlier file stays, no temporary folder is
// left); Ctrl-C once every byte of the file has moved lets the transfer end
// and says what the unit holds or that the file was saved, also for a program
// started with SIGINT ignored; SIGTERM during a backup leaves no backup file;
// and a second signal ends the program at once with its trace still readable.
#include "TappedLine.h"
#include "TestFiles.h"
#include "UnitClient.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>

using namespace TestSupport;

namespace {

constexpr int ProgramMs = 120000;
constexpr int StartedMs = 60000;
constexpr int Interrupted = 2;
const QString SystemPassword = QStringLiteral("1234");
// What the program sends when it leaves the unit.
const QString Goodbye = QStringLiteral("<CAN><CAN><CAN><CAN><CAN><CR>");
// Long enough at 19200 bit/s (half a minute) to be still moving when signalled.
constexpr int RecordingBytes = 60000;
// Recordings for the late signals: short, and of sizes that mix 1K and 128-byte blocks.
constexpr int LateUploadBytes = 10000;
constexpr int LateDownloadBytes = 9000;

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A trace with the pieces of each run of received bytes on one line: a reply
// the line delivered in two reads ("T", then "RANSFER_RESULT…") reads whole.
QString readTrace(const QString& path)
{
    static const QRegularExpression continued(QStringLiteral("(^\\S+ < [^\n]*)\n\\S+ < "),
                                              QRegularExpression::MultilineOption);
    QString text = readText(path);
    for (QString joined = QString(text).replace(continued, QStringLiteral("\\1")); joined != text;
         joined = QString(text).replace(continued, QStringLiteral("\\1")))
        text = joined;
    return text;
}

// The sent lines of a trace, in order.
QStringList sentLines(const QString& trace)
{
    static const QRegularExpression sent(QStringLiteral("^\\S+ > (.*)$"), QRegularExpression::MultilineOption);
    QStringList lines;
    for (auto it = sent.globalMatch(readText(trace)); it.hasNext();)
        lines << it.next().captured(1);
    return lines;
}

// The sent lines of a trace from the transfer's first block up to the unit's
// result line after it.
QStringList sentDuringTransfer(const QString& trace)
{
    const QString text = readTrace(trace);
    const qsizetype first = text.indexOf(QStringLiteral("YMODEM block"));
    const qsizetype result = text.indexOf(QStringLiteral("TRANSFER_RESULT"), first);
    if (first < 0 || result < 0)
        return {QStringLiteral("(no transfer and result in the trace)")};
    static const QRegularExpression sent(QStringLiteral("^\\S+ > (.*)$"), QRegularExpression::MultilineOption);
    QStringList lines;
    for (auto it = sent.globalMatch(text.mid(first, result - first)); it.hasNext();)
        lines << it.next().captured(1);
    return lines;
}

// The program started with a command against the unit, traced, its temporary
// files in a folder of its own; sigintIgnored: as a shell script starts its
// background commands.
class TProgram {
public:
    TProgram(const QStringList& command, const QString& device, const QString& trace, const QString& tmp,
             bool sigintIgnored = false)
    {
        TChildOptions options;
        // Qt makes its runtime folder under TMPDIR when it has none given.
        options.Environment = {QStringLiteral("TMPDIR=") + tmp,
                               QStringLiteral("XDG_RUNTIME_DIR=") + tmp + QStringLiteral("-runtime")};
        QStringList arguments = command
            + QStringList{QStringLiteral("--password"), SystemPassword, QStringLiteral("--device"), device,
                          QStringLiteral("--trace"), trace};
        QString program = QStringLiteral(PARLOTEL_EXE);
        if (sigintIgnored) {
            arguments.prepend(program);
            arguments = QStringList{QStringLiteral("-c"), QStringLiteral("trap '' INT; exec \"$0\" \"$@\"")}
                + arguments;
            program = QStringLiteral("/bin/sh");
        }
        Started = Process.Start(program, arguments, options);
        Process.CloseInput();
    }

    void Signal(int signal) const { ::kill(pid_t(Process.Pid()), signal); }

    TChildProcess Process;
    bool Started = false;
};

} // namespace

class TestInterruption : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    QString state;

    QString path(const QString& name) const { return dir.filePath(name); }

    // A fresh, empty folder for the program's temporary files (and one beside
    // it for Qt's runtime files).
    QString freshTmp(const QString& name) const
    {
        const QString runtime = name + QStringLiteral("-runtime");
        QDir(dir.path()).mkpath(name);
        QDir(dir.path()).mkpath(runtime);
        QFile::setPermissions(path(runtime), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path(name);
    }

    QStringList leftIn(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    static int run(const QStringList& command, const QString& device)
    {
        TChildProcess program;
        if (!program.Start(QStringLiteral(PARLOTEL_EXE),
                           command + QStringList{QStringLiteral("--password"), SystemPassword,
                                                 QStringLiteral("--device"), device}))
            return -1;
        program.CloseInput();
        return program.Wait(ProgramMs);
    }

    static std::unique_ptr<TUnitProcess> pacedUnit(const QString& stateFile)
    {
        // A cancelled download clears the program's input when it ends, so
        // the unit's result must come after that; a sanitizer build on a
        // busy machine takes longer to get there than the usual 500 ms.
        return std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("19200"),
                                                          QStringLiteral("--result-delay"), QStringLiteral("2000"),
                                                          QStringLiteral("--state"), stateFile});
    }

private slots:
    // A unit with a long recording under menu 5 and a short one under menu 7,
    // sent unpaced.
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        state = path(QStringLiteral("unit.json"));
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("--state"), state});
        QVERIFY(!unit.Pty().isEmpty());
        QVERIFY(WriteTestFile(path(QStringLiteral("long.pcm")), SoundBytes(RecordingBytes, 5)));
        QCOMPARE(run({QStringLiteral("--upload"), QStringLiteral("menu:5"), path(QStringLiteral("long.pcm"))},
                     unit.Pty()),
                 0);
        QVERIFY(WriteTestFile(path(QStringLiteral("short.pcm")), SoundBytes(LateDownloadBytes, 6)));
        QCOMPARE(run({QStringLiteral("--upload"), QStringLiteral("menu:7"), path(QStringLiteral("short.pcm"))},
                     unit.Pty()),
                 0);
    }

    void ctrlCDuringADownload()
    {
        auto unit = pacedUnit(state);
        QVERIFY(!unit->Pty().isEmpty());
        const QString target = path(QStringLiteral("menu5.pcm"));
        const QString trace = path(QStringLiteral("download.trace"));
        const QString tmp = freshTmp(QStringLiteral("tmp-download"));
        QVERIFY(WriteTestFile(target, "earlier"));

        TProgram program({QStringLiteral("--download"), QStringLiteral("menu:5"), target}, unit->Pty(), trace, tmp);
        QVERIFY(program.Started);
        // Data blocks are moving (the trace is written out as it goes).
        QTRY_VERIFY_WITH_TIMEOUT(readText(trace).contains(QStringLiteral("YMODEM block 3,")), StartedMs);
        QVERIFY(!leftIn(tmp).isEmpty()); // the download's private folder
        program.Signal(SIGINT);
        QCOMPARE(program.Process.Wait(ProgramMs), Interrupted);

        // The unit's own result, then what became of the file.
        const QString errors = QString::fromUtf8(program.Process.ReadErrors());
        QCOMPARE(errors, QStringLiteral("parlotel: YMODEM: error 1\nparlotel: Файл не сохранен: ") + target
                             + QStringLiteral("\nparlotel: прервано\n"));
        QCOMPARE(ReadTestFile(target), QByteArray("earlier"));
        QCOMPARE(leftIn(tmp), QStringList());
        // The unit's report was read before the goodbye, and nothing came after it.
        const QString text = readTrace(trace);
        QVERIFY2(text.indexOf(QStringLiteral("TRANSFER_RESULT")) >= 0, qPrintable(text.right(1500)));
        QVERIFY2(text.lastIndexOf(Goodbye) > text.indexOf(QStringLiteral("TRANSFER_RESULT")), qPrintable(text.right(1500)));
        QVERIFY2(sentLines(trace).constLast().contains(Goodbye), qPrintable(text.right(1500)));
        QVERIFY(text.endsWith(QLatin1Char('\n')));

        // The unit is back at its prompt: the next login works at once.
        QCOMPARE(run({QStringLiteral("--get"), QStringLiteral("12")}, unit->Pty()), 0);
    }

    void lateCtrlCLetsTheWholeFileStand_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<bool>("sigintIgnored");
        QTest::newRow("upload, as it ends the file") << true << false;
        QTest::newRow("upload started with SIGINT ignored") << true << true;
        QTest::newRow("download, as the unit ends the file") << false << false;
    }

    // The signal goes out as the file's end of file passes on the line: every
    // byte has moved, so the transfer and its batch end, nothing else is sent
    // before the unit's result, and the run says what came of the file.
    void lateCtrlCLetsTheWholeFileStand()
    {
        QFETCH(bool, upload);
        QFETCH(bool, sigintIgnored);
        auto unit = pacedUnit(state);
        QVERIFY(!unit->Pty().isEmpty());
        const QString local = path(upload ? QStringLiteral("late.pcm") : QStringLiteral("menu7.pcm"));
        const QByteArray sound = upload ? SoundBytes(LateUploadBytes, 8) : ReadTestFile(path(QStringLiteral("short.pcm")));
        QVERIFY(WriteTestFile(local, upload ? sound : QByteArray("earlier")));
        std::atomic<qint64> pid{0};
        TTappedLine line(unit->Pty(), upload ? TByteRelay::AtoB : TByteRelay::BtoA,
                         YModemLeads(upload ? "late.pcm" : "short.pcm", [&pid](int, char lead) {
                             if (lead == '\x04' && pid.load() > 0)
                                 ::kill(pid_t(pid.load()), SIGINT);
                             return lead;
                         }));
        const QString trace = path(QStringLiteral("late.trace"));
        const QStringList command = upload ? QStringList{QStringLiteral("--upload"), QStringLiteral("menu:6"), local}
                                           : QStringList{QStringLiteral("--download"), QStringLiteral("menu:7"), local};
        TProgram program(command, line.Device(), trace, freshTmp(QStringLiteral("tmp-late")), sigintIgnored);
        QVERIFY(program.Started);
        pid = program.Process.Pid();
        QCOMPARE(program.Process.Wait(ProgramMs), Interrupted);

        const QString said = upload ? QStringLiteral("Файл передан целиком, устройство сохранило запись: ")
                                    : QStringLiteral("Файл принят целиком и сохранен: ");
        QCOMPARE(QString::fromUtf8(program.Process.ReadErrors()),
                 QStringLiteral("parlotel: ") + said + local + QStringLiteral("\nparlotel: прервано\n"));
        QCOMPARE(ReadTestFile(upload ? path(QStringLiteral("unit.voice/menu-6/late.pcm")) : local), sound);
        const QStringList sent = sentDuringTransfer(trace);
        QVERIFY2(sent.filter(QStringLiteral("GET")).isEmpty() && sent.filter(QStringLiteral("<CAN>")).isEmpty(),
                 qPrintable(sent.join(QLatin1Char('|'))));
    }

    void sigtermDuringABackup()
    {
        auto unit = pacedUnit(state);
        QVERIFY(!unit->Pty().isEmpty());
        const QString backup = path(QStringLiteral("unit-backup.json"));
        const QString trace = path(QStringLiteral("backup.trace"));
        TProgram program({QStringLiteral("--backup"), backup}, unit->Pty(), trace,
                         freshTmp(QStringLiteral("tmp-backup")));
        QVERIFY(program.Started);
        // Well into the backup's reads: past the login and the first settings.
        QTRY_VERIFY_WITH_TIMEOUT(sentLines(trace).size() > 40, StartedMs);
        program.Signal(SIGTERM);
        QCOMPARE(program.Process.Wait(ProgramMs), Interrupted);
        QCOMPARE(QString::fromUtf8(program.Process.ReadErrors()), QStringLiteral("parlotel: прервано\n"));
        QVERIFY(!QFileInfo::exists(backup));
        QCOMPARE(leftIn(dir.path()).filter(QStringLiteral("unit-backup")), QStringList());
        QVERIFY2(sentLines(trace).constLast().contains(Goodbye), qPrintable(readText(trace)));
        QCOMPARE(run({QStringLiteral("--get"), QStringLiteral("12")}, unit->Pty()), 0);
    }

    // A second signal does not wait for the unit: the program ends at once,
    // still with the code of a command that did not complete, its trace whole
    // up to there.
    void aSecondSignalEndsAtOnce()
    {
        auto unit = pacedUnit(state);
        QVERIFY(!unit->Pty().isEmpty());
        const QString trace = path(QStringLiteral("twice.trace"));
        TProgram program({QStringLiteral("--download"), QStringLiteral("menu:5"), path(QStringLiteral("twice.pcm"))},
                         unit->Pty(), trace, freshTmp(QStringLiteral("tmp-twice")));
        QVERIFY(program.Started);
        QTRY_VERIFY_WITH_TIMEOUT(readText(trace).contains(QStringLiteral("YMODEM block 3,")), StartedMs);
        // The unit's report after the cancel comes late: the program is still
        // waiting for it when the second signal comes.
        QCOMPARE(unit->Control("fault delay 30000"), QByteArray("ok fault delay 30000"));
        const qsizetype sentBefore = sentLines(trace).size();
        program.Signal(SIGINT);
        // Two signals sent together would arrive as one.
        QTRY_VERIFY_WITH_TIMEOUT(sentLines(trace).mid(sentBefore).join(QString()).contains(QStringLiteral("<CAN>")),
                                 StartedMs);
        program.Signal(SIGINT);
        QCOMPARE(program.Process.Wait(ProgramMs), Interrupted);
        const QString text = readTrace(trace);
        QVERIFY2(!text.contains(QStringLiteral("TRANSFER_RESULT")), qPrintable(text.right(1500)));
        QVERIFY2(sentLines(trace).constLast().contains(QStringLiteral("<CAN>")), qPrintable(text.right(1500)));
        QVERIFY(text.endsWith(QLatin1Char('\n')));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("twice.pcm"))));
    }
};

QTEST_GUILESS_MAIN(TestInterruption)
#include "test_interruption.moc"
