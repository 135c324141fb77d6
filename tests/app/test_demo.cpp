// The demo mode: finding and starting the emulated unit with its state kept in
// a folder, starting afresh, reporting a unit that cannot start, stopping it,
// and the program's command line — including that a program that dies leaves
// no unit behind.
#include "TestSupport.h"
#include "UnitClient.h"
#include "support/DemoUnit.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace TestSupport;

namespace {

void makeExecutable(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QString unitExecutable()
{
    return qEnvironmentVariable("PARLOTEL_UNIT");
}

} // namespace

class TestDemo : public QObject {
    Q_OBJECT
private slots:
    void findsTheUnitBesideThenInTheBuildTree()
    {
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("build/src"));
        QDir().mkpath(program);
        const QString inTree = root.filePath(QStringLiteral("build/emulator/parlotel-unit"));
        makeExecutable(inTree);
        QCOMPARE(TDemoUnit::FindExecutable(program), QFileInfo(inTree).canonicalFilePath());
        const QString beside = root.filePath(QStringLiteral("build/src/parlotel-unit"));
        makeExecutable(beside);
        QCOMPARE(TDemoUnit::FindExecutable(program), QFileInfo(beside).canonicalFilePath());
    }

    void keepsStateResetsAndStops()
    {
        QTemporaryDir data;
        const QString folder = data.filePath(QStringLiteral("demo"));
        TDemoUnit unit;
        QVERIFY2(unit.Start(unitExecutable(), folder, false), qPrintable(unit.ErrorText()));
        QVERIFY(unit.Device().startsWith(QStringLiteral("/dev/pts/")));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/unit.json")));
        const qint64 pid = unit.ProcessId();
        QVERIFY(ProcessAlive(pid));
        unit.Stop();
        QVERIFY(!ProcessAlive(pid));

        // A state the unit refuses is reported; a reset starts from the factory state.
        QFile state(folder + QStringLiteral("/unit.json"));
        QVERIFY(state.open(QIODevice::WriteOnly | QIODevice::Truncate));
        state.write("not a state");
        state.close();
        TDemoUnit refused;
        QVERIFY(!refused.Start(unitExecutable(), folder, false));
        QVERIFY(!refused.ErrorText().isEmpty());
        TDemoUnit fresh;
        QVERIFY2(fresh.Start(unitExecutable(), folder, true), qPrintable(fresh.ErrorText()));
        QVERIFY(state.open(QIODevice::ReadOnly));
        QVERIFY(state.readAll().startsWith('{'));
    }

    void missingUnitIsReported()
    {
        TDemoUnit unit;
        QVERIFY(!unit.Start(QString(), QDir::tempPath(), false));
        QCOMPARE(unit.ErrorText(), QStringLiteral("parlotel-unit не найден."));
    }

    void commandLine()
    {
        TChildProcess help;
        QVERIFY(help.Start(QStringLiteral(PARLOTEL_EXE), {QStringLiteral("--help")}));
        QByteArray text;
        for (QByteArray more; !(more = help.Read(10000)).isEmpty();)
            text += more;
        QCOMPARE(help.Wait(10000), 0);
        QVERIFY(text.contains("--demo") && text.contains("--demo-reset"));

        TChildProcess wrong;
        QVERIFY(wrong.Start(QStringLiteral(PARLOTEL_EXE), {QStringLiteral("--demon")}));
        QCOMPARE(wrong.Wait(10000), 3);
    }

    // A command's standard error carries only what the user must read: no
    // words of the demo unit (they go to its log), no Qt diagnostics of a
    // session without XDG_RUNTIME_DIR. The window without a display says what
    // is missing and ends with 1, instead of Qt's abort.
    void saysOnlyWhatTheUserMustRead()
    {
        QTemporaryDir data;
        TChildOptions options;
        options.Environment = {QStringLiteral("XDG_DATA_HOME=") + data.path(), QStringLiteral("XDG_RUNTIME_DIR=")};
        TChildProcess command;
        QVERIFY(command.Start(QStringLiteral(PARLOTEL_EXE),
                              {QStringLiteral("--demo"), QStringLiteral("--password"), QStringLiteral("1234"),
                               QStringLiteral("--get"), QStringLiteral("15")},
                              options));
        QByteArray out;
        for (QByteArray more; !(more = command.Read(20000)).isEmpty();)
            out += more;
        QCOMPARE(command.Wait(20000), 0);
        QCOMPARE(out, QByteArray("2\n"));
        QCOMPARE(command.ReadErrors(), QByteArray());
        QVERIFY(QFileInfo(data.filePath(QStringLiteral("Parlotel/demo/unit.log"))).size() > 0);

        options.Environment = {QStringLiteral("QT_QPA_PLATFORM="), QStringLiteral("DISPLAY="),
                               QStringLiteral("WAYLAND_DISPLAY=")};
        for (const QStringList& args : {QStringList(), QStringList{QStringLiteral("--demo")}}) {
            TChildProcess window;
            QVERIFY(window.Start(QStringLiteral(PARLOTEL_EXE), args, options));
            QCOMPARE(window.Wait(20000), 1);
            const QByteArray errors = window.ReadErrors();
            QVERIFY2(errors.startsWith("parlotel: the window needs a graphical display") && !errors.contains("einstall"),
                     errors.constData());
        }
    }

    // scripts/demo --unit-only serves the same unit as --demo, with the same memory.
    void oneDemoUnitOneMemory()
    {
        QFile script(QStringLiteral(PARLOTEL_SOURCE_DIR "/scripts/demo"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        QVERIFY(script.readAll().contains("home=\"${XDG_DATA_HOME:-$HOME/.local/share}/Parlotel/demo\""));
    }

    // A reset brings the whole factory state back: recordings uploaded where
    // the factory has none are gone.
    void resetForgetsEveryRecording()
    {
        QTemporaryDir data;
        const QString sound = data.filePath(QStringLiteral("tone.pcm"));
        QFile file(sound);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(3000, '\x80')) == 3000);
        file.close();
        const auto run = [&data](const QString& demo, const QStringList& command) {
            TChildOptions options;
            options.Environment = {QStringLiteral("XDG_DATA_HOME=") + data.path()};
            TChildProcess program;
            if (!program.Start(QStringLiteral(PARLOTEL_EXE),
                               QStringList{demo, QStringLiteral("--password"), QStringLiteral("1234")} + command, options))
                return std::make_pair(-1, QByteArray());
            program.CloseInput();
            const int exit = program.Wait(60000);
            return std::make_pair(exit, program.ReadErrors());
        };
        const QString demo = QStringLiteral("--demo");
        for (const QString& target : {QStringLiteral("menu:3"), QStringLiteral("message:63")})
            QCOMPARE(run(demo, {QStringLiteral("--upload"), target, sound}).first, 0);
        QCOMPARE(run(QStringLiteral("--demo-reset"), {QStringLiteral("--clock")}).first, 0);
        for (const QString& target : {QStringLiteral("menu:3"), QStringLiteral("message:63")}) {
            const auto [exit, errors] = run(demo, {QStringLiteral("--download"), target, data.filePath("back.pcm")});
            QCOMPARE(exit, 2);
            QVERIFY2(QString::fromUtf8(errors).contains(QStringLiteral("на устройстве нет записи ") + target),
                     errors.constData());
        }
    }

    // The unit runs only while the program holds its standard input.
    void aProgramThatDiesLeavesNoUnit()
    {
        QTemporaryDir data;
        TChildOptions options;
        options.Environment = {QStringLiteral("XDG_DATA_HOME=") + data.path()};
        TChildProcess program;
        QVERIFY(program.Start(QStringLiteral(PARLOTEL_EXE), {QStringLiteral("--demo")}, options));
        QList<qint64> children;
        QVERIFY(QTest::qWaitFor([&] {
            children = ChildProcesses(program.Pid());
            return !children.isEmpty();
        }, 20000));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(data.filePath("Parlotel/demo/unit.json")); }, 20000));
        ::kill(pid_t(program.Pid()), SIGKILL);
        QCOMPARE(program.Wait(10000), -1);
        QVERIFY(!program.Running());
        for (qint64 child : children)
            QVERIFY(QTest::qWaitFor([&] { return !ProcessAlive(child); }, 10000));
    }
};

QTEST_MAIN(TestDemo)
#include "test_demo.moc"
