// The settings export against the emulated unit in its factory state: the
// file byte for byte in system and administrator mode, what a second export
// reads, a cancelled dialog, files that cannot be written and reads that fail
// (an earlier file stays as it was), the headless export with its exit codes,
// into pipes, devices and standard output and refused before connecting where
// it cannot go, and the progress of the export and the backup on a terminal.
#include "GuiTestSupport.h"
#include "TestFiles.h"
#include "WindowRig.h"
#include "window/Unit1.h"
#include "session/AAMenu.h"
#include "ui/StringGrid.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace TestSupport;

namespace {

using TRun = TProgramRun;

constexpr int ProgramMs = 60000;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray expected(const char* name)
{
    return readFile(qEnvironmentVariable("PARLOTEL_TEST_DATA") + QLatin1Char('/') + QLatin1String(name));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Writing more than limit bytes into any file fails (EFBIG), for root too.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = m_saved;
        lower.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_saved{};
    void (*m_signal)(int) = nullptr;
};

// The program with args; input is its standard input.
TRun runProgram(const QStringList& args, const QByteArray& input = {}, const TChildOptions& options = {})
{
    TChildProcess program;
    TRun run;
    if (!program.Start(QStringLiteral(PARLOTEL_EXE), args, options))
        return run;
    program.Write(input);
    program.CloseInput();
    return FinishRun(program, ProgramMs);
}

// The program's headless export.
TRun runExport(const QStringList& args, const QByteArray& input = {})
{
    return runProgram(QStringList{QStringLiteral("--export")} + args, input);
}

qint64 received(TUnitProcess& unit)
{
    static const QRegularExpression count(QStringLiteral("received=(\\d+)"));
    return count.match(QString::fromLatin1(unit.Control("count"))).captured(1).toLongLong();
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    // Exports through the window's button and save dialog.
    static void exportTo(TWindowRig& rig, const QString& target)
    {
        TWindowRig::ChooseFile(target);
        rig.Window->btnExport->click();
        QVERIFY(WaitModalsAnswered());
        QVERIFY(rig.Settle());
    }

private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    void systemModeFactoryStateByteForByte()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        AnswerNextModal<QFileDialog>([&](QFileDialog* d) {
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(d->defaultSuffix(), QStringLiteral("txt"));
            QCOMPARE(d->nameFilters(),
                     QStringList({"Текстовые файлы (*.txt *.TXT)", "Все файлы (*)"}));
            QVERIFY(!d->testOption(QFileDialog::DontConfirmOverwrite));
            QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), QStringLiteral("settings.txt"));
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path("system.txt"));
            static_cast<QDialog*>(d)->done(QDialog::Accepted);
        });
        rig.Window->btnExport->click();
        QVERIFY(WaitModalsAnswered());
        QVERIFY(rig.Settle());
        QCOMPARE(readFile(path("system.txt")), expected("export_factory_system.txt"));
        QCOMPARE(rig.Sink.Log(), QStringList({"P"}));

        // The second time only the mailboxes are read: from the system menu
        // "\r", "MAIL\r" and "GETALL\r".
        const int before = rig.Received();
        exportTo(rig, path("again.txt"));
        QCOMPARE(rig.Received() - before, 13);
        QCOMPARE(readFile(path("again.txt")), expected("export_factory_system.txt"));
    }

    void administratorModeLeavesSystemPagesUnread()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1111")));
        exportTo(rig, path("admin.txt"));
        QCOMPARE(readFile(path("admin.txt")), expected("export_factory_admin.txt"));
        QCOMPARE(rig.Window->sgSysParams->Cells(2, 1), QString());
        QVERIFY(!rig.Window->PageLoaded[TForm1::pgSysParams] && !rig.Window->PageLoaded[TForm1::pgMessages]);
        QCOMPARE(rig.Sink.Log(), QStringList({"P"}));
    }

    void cancelledDialogWritesAndReadsNothing()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        const int before = rig.Received();
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        exportTo(rig, QString());
        QCOMPARE(rig.Received(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);
        QVERIFY(!rig.Window->PageLoaded[TForm1::pgMenu]);
    }

    void unwritableFileLeavesTheEarlierOne()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));

        // A folder that is a file: refused before anything is read.
        writeFile(path("plain"), "plain");
        const int before = rig.Received();
        exportTo(rig, path("plain") + QStringLiteral("/settings.txt"));
        QCOMPARE(rig.Received(), before);
        QCOMPARE(rig.Sink.Errors().size(), 1);
        QVERIFY2(rig.Sink.Errors().constFirst().startsWith(
                     QStringLiteral("Не удалось записать настройки в файл %1/settings.txt: ").arg(path("plain"))),
                 qPrintable(rig.Sink.Errors().constFirst()));

        // The disk fills up while writing: the earlier export stays whole and
        // no partial file is left beside it.
        QDir full(path("full"));
        QVERIFY(full.mkpath(QStringLiteral(".")));
        const QString target = full.filePath(QStringLiteral("settings.txt"));
        writeFile(target, "earlier export\r\n");
        {
            TFileSizeLimit limit(4096);
            exportTo(rig, target);
        }
        QCOMPARE(readFile(target), QByteArray("earlier export\r\n"));
        QCOMPARE(full.entryList(QDir::Files | QDir::Hidden), QStringList({"settings.txt"}));
        QCOMPARE(rig.Sink.Errors().size(), 2);
        QVERIFY(rig.Sink.Errors().constLast().startsWith(QStringLiteral("Не удалось записать настройки в файл ")));
        QCOMPARE(rig.Window->BusyCount(), 0);
        QVERIFY(rig.Window->PageControl1->isEnabled());
    }

    void headlessExport()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const QStringList device{QStringLiteral("--device"), unit.Pty()};

        // Over an earlier file everybody could read: the passwords in it are
        // for its owner only; not on a terminal, no progress is shown.
        writeFile(path("headless.txt"), "earlier");
        QVERIFY(::chmod(QFile::encodeName(path("headless.txt")).constData(), 0644) == 0);
        TRun run = runExport(QStringList{path("headless.txt"), QStringLiteral("--password"), QStringLiteral("1234")}
                             + device);
        QCOMPARE(run.Exit, 0);
        QCOMPARE(readFile(path("headless.txt")), expected("export_factory_system.txt"));
        QCOMPARE(ModeOf(path("headless.txt")) & 0777, mode_t(0600));
        QVERIFY2(!QString::fromUtf8(run.Errors).contains(QStringLiteral("чтение")), run.Errors.constData());

        // The password from standard input.
        run = runExport(QStringList{path("stdin.txt")} + device, "1111\n");
        QCOMPARE(run.Exit, 0);
        QCOMPARE(readFile(path("stdin.txt")), expected("export_factory_admin.txt"));

        run = runExport(QStringList{path("wrong.txt"), QStringLiteral("--password"), QStringLiteral("9999")} + device);
        QCOMPARE(run.Exit, 1);
        QVERIFY2(run.Errors.contains("parlotel: Неверный пароль! Повторите ввод."), run.Errors.constData());
        QVERIFY(!QFileInfo::exists(path("wrong.txt")));

        // Nobody at the other end of the line.
        run = runExport({path("none.txt"), QStringLiteral("--password"), QStringLiteral("1234"),
                         QStringLiteral("--device"), QStringLiteral("/dev/parlotel-no-such-port")});
        QCOMPARE(run.Exit, 1);
        QVERIFY2(run.Errors.contains("Не удалось открыть порт."), run.Errors.constData());
    }

    void headlessExportRefusedBeforeConnecting_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("said");
        QTest::newRow("folder that is a file") << "plain/x.txt" << "plain is not a folder";
        QTest::newRow("missing folder") << "gone/x.txt" << "gone does not exist";
        QTest::newRow("a folder") << "folder" << "folder: it is a folder";
        QTest::newRow("a socket") << "socket" << "socket: it is a socket, not a file";
    }

    // Told in the command line's English, exit code 3, and the unit hears nothing.
    void headlessExportRefusedBeforeConnecting()
    {
        QFETCH(QString, target);
        QFETCH(QString, said);
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        QTemporaryDir here;
        writeFile(here.filePath(QStringLiteral("plain")), "plain");
        QVERIFY(QDir(here.path()).mkdir(QStringLiteral("folder")));
        const TSocketNode socket(here.filePath(QStringLiteral("socket")));
        QVERIFY(socket.Bound());
        const TRun run = runExport({here.filePath(target), QStringLiteral("--password"), QStringLiteral("1234"),
                                    QStringLiteral("--device"), unit.Pty()});
        QCOMPARE(run.Exit, 3);
        QVERIFY2(run.Errors.contains("parlotel: cannot write " + QFile::encodeName(here.filePath(target)) + ": ")
                     && QString::fromUtf8(run.Errors).contains(said),
                 run.Errors.constData());
        QCOMPARE(received(unit), 0);
        QVERIFY(S_ISSOCK(ModeOf(here.filePath(QStringLiteral("socket")))));
        QVERIFY(S_ISDIR(ModeOf(here.filePath(QStringLiteral("folder")))));
    }

    // Never renamed over: a pipe is written in place and stays a pipe (first,
    // so that a program that replaces nodes fails here before it meets a
    // device); standard output by "-" and by its name; a device that takes
    // nothing, through a link of this test's own, reports the failure.
    void headlessExportIntoPipesDevicesAndStandardOutput()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const QStringList login{QStringLiteral("--password"), QStringLiteral("1234"), QStringLiteral("--device"),
                                unit.Pty()};
        TPipeNode pipe(path("pipe"));
        QVERIFY(pipe.Open());
        TRun run = runExport(QStringList{path("pipe")} + login);
        QVERIFY2(run.Exit == 0, run.Errors.constData());
        QVERIFY(S_ISFIFO(ModeOf(path("pipe"))));
        QCOMPARE(pipe.ReadAll(), expected("export_factory_system.txt"));

        for (const QString& name : {QStringLiteral("-"), QStringLiteral("/dev/stdout")}) {
            run = runExport(QStringList{name} + login);
            QVERIFY2(run.Exit == 0, run.Errors.constData());
            QCOMPARE(run.Out, expected("export_factory_system.txt"));
        }

        QVERIFY(QFile::link(QStringLiteral("/dev/full"), path("device")));
        run = runExport(QStringList{path("device")} + login);
        QCOMPARE(run.Exit, 2);
        const QString told = QStringLiteral("parlotel: Не удалось записать настройки в файл %1: %2")
                                 .arg(path("device"), QString::fromLocal8Bit(std::strerror(ENOSPC)));
        QVERIFY2(QString::fromUtf8(run.Errors).contains(told), run.Errors.constData());
        QVERIFY(S_ISLNK(ModeOf(path("device"))));
        QVERIFY(S_ISCHR(ModeOf(QStringLiteral("/dev/full"))));
    }

    // A read that came up with a message may have left a value missing or
    // wrong: the earlier file stays, in the window and without it, and the
    // export says why.
    void failedReadKeepsTheEarlierFile()
    {
        const QString target = path("kept.txt");
        const QByteArray earlier = "earlier export\r\n";
        writeFile(target, earlier);
        const QString told = QStringLiteral("Не удалось прочитать все настройки: экспорт в файл %1 не выполнен").arg(target);
        {
            TWindowRig rig;
            QVERIFY(rig.Started());
            QVERIFY(rig.Connect(QStringLiteral("1234")));
            QCOMPARE(rig.Unit->Control("fault refuse GETALL"), QByteArray("ok fault refuse GETALL"));
            rig.Sink.Clear();
            exportTo(rig, target);
            QCOMPARE(readFile(target), earlier);
            QVERIFY2(rig.Sink.Errors().size() >= 2, qPrintable(rig.Sink.Log().join(u'\n')));
            QCOMPARE(rig.Sink.Errors().constLast(), told);
            // With the unit answering again the same window exports.
            QCOMPARE(rig.Unit->Control("fault none"), QByteArray("ok fault none"));
            exportTo(rig, target);
            QCOMPARE(readFile(target), expected("export_factory_system.txt"));
        }
        writeFile(target, earlier);
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        QCOMPARE(unit.Control("fault refuse GETALL"), QByteArray("ok fault refuse GETALL"));
        const TRun run = runExport({target, QStringLiteral("--password"), QStringLiteral("1234"),
                                    QStringLiteral("--device"), unit.Pty()});
        QCOMPARE(run.Exit, 2);
        QVERIFY2(QString::fromUtf8(run.Errors).contains(QStringLiteral("parlotel: ") + told), run.Errors.constData());
        QCOMPARE(readFile(target), earlier);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral(".kept*")}, QDir::Files | QDir::Hidden), QStringList());
    }

    // A page whose reading came up with a message is read again before an
    // export takes its values: the export never writes what a failed read left.
    void pageThatFailedIsReadAgain()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QCOMPARE(rig.Unit->Control("fault refuse GETALL"), QByteArray("ok fault refuse GETALL"));
        QVERIFY(rig.Connect(QStringLiteral("1234"))); // the numbers page's list is refused
        QVERIFY(!rig.Window->PageLoaded[TForm1::pgNumbers]);
        QCOMPARE(rig.Unit->Control("fault none"), QByteArray("ok fault none"));
        exportTo(rig, path("after.txt"));
        QCOMPARE(readFile(path("after.txt")), expected("export_factory_system.txt"));
    }

    void progressOnATerminal_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("export") << QStringList{"--export"} << QByteArray() << 0
                                << QStringList{"чтение 1/7: Номера", "чтение 2/7: Приветствия", "чтение 3/7: Время",
                                               "чтение 4/7: Меню", "чтение 5/7: Почта",
                                               "чтение 6/7: Системные параметры", "чтение 7/7: Замена сообщений"};
        QTest::newRow("backup") << QStringList{"--backup"} << QByteArray() << 0
                                << QStringList{"чтение 1/5: Параметры", "чтение 2/5: Добавочные номера",
                                               "чтение 3/5: Меню и приветствия", "чтение 4/5: Почтовые ящики",
                                               "чтение 5/5: Служебные сообщения"};
        // The unit's report after the transfer starts on a line of its own.
        QTest::newRow("download, then the unit's error")
            << QStringList{"--download", "menu:0"} << QByteArray("fault ymodem 3") << 4
            << QStringList{"1024 / 40000", "40000 / 40000", "\nparlotel: YMODEM: error 3\n"};
    }

    void progressOnATerminal()
    {
        QFETCH(QStringList, command);
        QFETCH(QByteArray, fault);
        QFETCH(int, exitCode);
        QFETCH(QStringList, parts);
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        if (!fault.isEmpty())
            QCOMPARE(unit.Control(fault), "ok " + fault);
        TPtyPair terminal;
        TChildOptions options;
        options.Errors = TChildErrors::ToFile;
        options.ErrorFile = terminal.SlavePath();
        const TRun run = runProgram(command + QStringList{path("progress.out"), QStringLiteral("--password"),
                                                          QStringLiteral("1234"), QStringLiteral("--device"), unit.Pty()},
                                    {}, options);
        QCOMPARE(run.Exit, exitCode);
        QByteArray shown;
        for (QByteArray more; !(more = terminal.Read(1000)).isEmpty();)
            shown += more;
        const QString text = QString::fromUtf8(shown);
        qsizetype at = 0;
        for (const QString& part : parts) {
            const QString wanted = part.startsWith(u'\n') ? part : QStringLiteral("\rparlotel: ") + part;
            at = text.indexOf(wanted, at);
            QVERIFY2(at >= 0, qPrintable(part + QStringLiteral(" in ") + text));
        }
        if (fault.isEmpty())
            QVERIFY2(text.endsWith(u'\n') && text.count(u'\n') == 1 + text.left(at).count(u'\n'), qPrintable(text));
    }

    void headlessCommandLine()
    {
        for (const QStringList& wrong : {QStringList{QStringLiteral("--password"), QStringLiteral("1")},
                                         QStringList{QStringLiteral("x.txt"), QStringLiteral("--port"), QStringLiteral("0")},
                                         QStringList{QStringLiteral("x.txt"), QStringLiteral("--port"), QStringLiteral("256")},
                                         QStringList{QStringLiteral("x.txt"), QStringLiteral("--demo"),
                                                     QStringLiteral("--device"), QStringLiteral("/dev/null")}}) {
            TChildProcess program;
            QVERIFY(program.Start(QStringLiteral(PARLOTEL_EXE),
                                  wrong.constFirst().startsWith(QLatin1String("--")) ? wrong
                                                                                     : QStringList{"--export"} + wrong));
            QCOMPARE(program.Wait(ProgramMs), 3);
        }
        // The command line reaches COM255, beyond the port dialog's four: it
        // tries the port (and fails here) instead of refusing the number.
        TChildProcess farPort;
        QVERIFY(farPort.Start(QStringLiteral(PARLOTEL_EXE), {QStringLiteral("--get"), QStringLiteral("15"),
                                                            QStringLiteral("--port"), QStringLiteral("255"),
                                                            QStringLiteral("--password"), QStringLiteral("1")}));
        QCOMPARE(farPort.Wait(ProgramMs), 1);
        TChildProcess help;
        QVERIFY(help.Start(QStringLiteral(PARLOTEL_EXE), {QStringLiteral("--help")}));
        QByteArray text;
        while (help.Running() || text.isEmpty()) {
            const QByteArray more = help.Read(1000);
            if (more.isEmpty() && !help.Running())
                break;
            text += more;
        }
        QCOMPARE(help.Wait(ProgramMs), 0);
        for (const char* word : {"--export <FILE>", "--password <P>", "--port <N>", "--device <PATH>", "Exit codes"})
            QVERIFY2(text.contains(word), word);
    }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
