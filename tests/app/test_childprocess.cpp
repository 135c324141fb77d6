// The child-process starter the demo mode and the tests rely on: a program
// that cannot start is reported, lines are read across chunk boundaries and
// not lost on a timeout, a child that ignores SIGTERM is still ended within
// the bound and reaped, and the child gets its folder, environment, terminal
// and the default SIGPIPE although we ignore it.
#include "support/ChildProcess.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QByteArray shellOutput(const QByteArray& script, const TChildOptions& options = {})
{
    TChildProcess child;
    if (!child.Start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLocal8Bit(script)}, options))
        return "(not started) " + child.ErrorText().toLocal8Bit();
    QByteArray text;
    for (QByteArray more; !(more = child.Read(10000)).isEmpty();)
        text += more;
    return child.Wait(10000) == 0 ? text : "(failed) " + text;
}

} // namespace

class TestChildProcess : public QObject {
    Q_OBJECT
private slots:
    void aMissingProgramIsReported()
    {
        TChildProcess child;
        QVERIFY(!child.Start(QStringLiteral("/nonexistent/parlotel-unit"), {}));
        QVERIFY(child.ErrorText().contains(QStringLiteral("/nonexistent/parlotel-unit")));
        QVERIFY(!child.Running());
        QCOMPARE(child.Stop(100), -1);
    }

    void linesAcrossChunksAndTimeouts()
    {
        TChildProcess child;
        QVERIFY(child.Start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"),
                                                        QStringLiteral("printf 'par'; read x; printf 'tial\\r\\nnext\\n'; cat")}));
        QCOMPARE(child.ReadLine(200), QByteArray()); // no line end yet: nothing given out, nothing lost
        child.Write("go\n");
        QCOMPARE(child.ReadLine(10000), QByteArray("partial"));
        QCOMPARE(child.ReadLine(10000), QByteArray("next"));
        child.Write("echoed\n");
        QCOMPARE(child.ReadLine(10000), QByteArray("echoed"));
        QCOMPARE(child.Stop(10000), 0); // cat ends when its input closes
    }

    void exitCodesAndErrors()
    {
        TChildProcess child;
        QVERIFY(child.Start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("echo oops >&2; exit 7")}));
        QCOMPARE(child.Wait(10000), 7);
        QCOMPARE(child.ReadErrors(), QByteArray("oops\n"));
        QCOMPARE(child.Read(1000), QByteArray()); // its output is at its end
    }

    void aChildThatIgnoresTermIsKilledWithinTheBound()
    {
        TChildProcess child;
        QVERIFY(child.Start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"),
                                                        QStringLiteral("trap '' TERM; echo ready; while :; do sleep 1; done")}));
        QCOMPARE(child.ReadLine(10000), QByteArray("ready"));
        const qint64 pid = child.Pid();
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(child.Stop(300), -1);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(!child.Running());
        QVERIFY(::kill(pid_t(pid), 0) != 0); // reaped: not even a zombie is left
    }

    void folderEnvironmentTerminalAndSignals()
    {
        std::signal(SIGPIPE, SIG_IGN);
        QTemporaryDir folder;
        TChildOptions options;
        options.Folder = folder.path();
        options.Environment = {QStringLiteral("PARLOTEL_CHILD=seen"), QStringLiteral("HOME=") + folder.path()};
        const QByteArray out = shellOutput("pwd; echo \"$PARLOTEL_CHILD $HOME\"; grep SigIgn /proc/self/status", options);
        const QList<QByteArray> lines = out.split('\n');
        QCOMPARE(lines.value(0), QFileInfo(folder.path()).canonicalFilePath().toLocal8Bit());
        QCOMPARE(lines.value(1), "seen " + folder.path().toLocal8Bit());
        const quint64 ignored = lines.value(2).mid(lines.value(2).indexOf('\t') + 1).toULongLong(nullptr, 16);
        QVERIFY2(!(ignored & (1ull << (SIGPIPE - 1))), lines.value(2));

        options = {};
        options.Terminal = true;
        QCOMPARE(shellOutput("test -t 0 && test -t 1 && echo terminal", options), QByteArray("terminal\n"));

        QTemporaryDir logs;
        options = {};
        options.Errors = TChildErrors::ToFile;
        options.ErrorFile = logs.filePath(QStringLiteral("errors.log"));
        QCOMPARE(shellOutput("echo kept >&2", options), QByteArray());
        QFile log(options.ErrorFile);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("kept\n"));
    }
};

QTEST_GUILESS_MAIN(TestChildProcess)
#include "test_childprocess.moc"
