// The line trace: bytes as readable text (control names, Windows-1251 as
// UTF-8), a masked password and its echo, YModem blocks of a real sender (lrzsz)
// summarised by their structure even when they arrive in pieces, a damaged
// block, and a file that is flushed while the trace still runs. Then the
// program's own traces against the emulated unit: a transfer both ways with
// the blocks the program writes itself, the window's login and page read up
// to the goodbye when the window closes, headless commands that fail, and
// trace files that cannot be made or written.
#include "GuiTestSupport.h"
#include "TestFiles.h"
#include "UnitClient.h"
#include "support/LineTrace.h"
#include "cli/ProgramOptions.h"
#include "support/TraceStream.h"
#include "window/Unit1.h"
#include "window/WindowRun.h"
#include "serial/SpDeviceNames.h"
#include "session/AAMenu.h"
#include "session/Password.h"
#include "session/Server.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>

using namespace TestSupport;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

constexpr int ProgramMs = 120000;
constexpr int JobsMs = 30000;
const QString SystemPassword = QStringLiteral("1234");
// What the program sends when it leaves the unit: five CAN, then carriage returns.
const QString Goodbye = QStringLiteral("<CAN><CAN><CAN><CAN><CAN><CR>");

struct TTraceLine {
    qint64 Ms = 0; // since midnight
    bool Sent = false;
    QString Text;
};

// The lines of a finished trace: its header, then time, direction and text on
// every line, each line whole and the times never going back. Empty with a
// failure reported when the file is not such a trace.
QList<TTraceLine> readTrace(const QString& path)
{
    const QByteArray bytes = readFile(path);
    if (!bytes.startsWith("# parlotel line trace") || !bytes.endsWith('\n')) {
        QTest::qFail(qPrintable(QStringLiteral("not a whole trace: ") + path), __FILE__, __LINE__);
        return {};
    }
    static const QRegularExpression form(QStringLiteral("^(\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d{3}) ([<>]) (.*)$"));
    QList<TTraceLine> lines;
    const QStringList texts = QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& text : texts.mid(1)) {
        const QRegularExpressionMatch m = form.match(text);
        if (!m.hasMatch()) {
            QTest::qFail(qPrintable(QStringLiteral("bad trace line: ") + text), __FILE__, __LINE__);
            return {};
        }
        TTraceLine line;
        line.Ms = ((m.captured(1).toInt() * 60 + m.captured(2).toInt()) * 60 + m.captured(3).toInt()) * 1000LL
            + m.captured(4).toInt();
        line.Sent = m.captured(5) == QLatin1String(">");
        line.Text = m.captured(6);
        // Past midnight the clock starts again; nothing else goes back.
        if (!lines.isEmpty() && line.Ms < lines.constLast().Ms && lines.constLast().Ms - line.Ms < 3600000) {
            QTest::qFail(qPrintable(QStringLiteral("time goes back: ") + text), __FILE__, __LINE__);
            return {};
        }
        lines << line;
    }
    return lines;
}

// Where the first line from `from` on in the given direction contains text; -1 for none.
qsizetype findLine(const QList<TTraceLine>& lines, qsizetype from, bool sent, const QString& text)
{
    for (qsizetype i = std::max<qsizetype>(from, 0); i < lines.size(); ++i)
        if (lines[i].Sent == sent && lines[i].Text.contains(text))
            return i;
    return -1;
}

QString describe(const QList<TTraceLine>& lines)
{
    QStringList out;
    for (const TTraceLine& line : lines)
        out << (line.Sent ? QStringLiteral("> ") : QStringLiteral("< ")) + line.Text;
    return out.join(QLatin1Char('\n'));
}

// The transfer's blocks in one direction are numbered 0 (the file's header),
// 1, 2, ..., each with a good CRC and each answered by the other side before
// the next one comes; then the end of the file, answered, and the empty header
// that ends the batch. Returns the data blocks' total size.
int checkBlocks(const QList<TTraceLine>& lines, bool sentBySender, const QString& answer)
{
    static const QRegularExpression summary(QStringLiteral("^YMODEM block (\\d+), (\\d+) bytes, CRC ok"));
    qsizetype at = findLine(lines, 0, sentBySender, QStringLiteral("YMODEM block 0, 128 bytes, CRC ok, file \""));
    if (at < 0)
        return -1;
    int expected = 1;
    int total = 0;
    for (;;) {
        const qsizetype answered = findLine(lines, at + 1, !sentBySender, answer);
        const qsizetype next = findLine(lines, at + 1, sentBySender, QString());
        if (answered < 0 || next < 0 || answered > next)
            return -1;
        const QRegularExpressionMatch m = summary.match(lines[next].Text);
        if (!m.hasMatch())
            break;
        if (m.captured(1).toInt() != expected++)
            return -1;
        total += m.captured(2).toInt();
        at = next;
    }
    const qsizetype end = findLine(lines, at + 1, sentBySender, QStringLiteral("<EOT>"));
    const qsizetype batchEnd = findLine(lines, end, sentBySender, QStringLiteral("YMODEM block 0, 128 bytes, CRC ok, end of batch"));
    const qsizetype endAnswered = findLine(lines, end, !sentBySender, answer);
    return end >= 0 && endAnswered > end && batchEnd > endAnswered ? total : -1;
}

// What the program sent, as the trace shows it, without what varies between
// runs: the times, and where one burst of bytes ends and the next begins. A
// line break follows every CR, and every YModem block has a line of its own.
QString sentText(const QList<TTraceLine>& lines)
{
    QString text;
    for (const TTraceLine& line : lines) {
        if (!line.Sent)
            continue;
        if (line.Text.startsWith(QLatin1String("YMODEM")))
            text += u'\n' + line.Text + u'\n';
        else
            text += line.Text;
    }
    text.replace(QStringLiteral("<CR>"), QStringLiteral("<CR>\n"));
    static const QRegularExpression blankLines(QStringLiteral("\n+"));
    return text.replace(blankLines, QStringLiteral("\n"));
}

struct TProgramRun {
    int Exit = -1;
    QByteArray Errors;
};

// The program itself, headless, its standard input closed.
TProgramRun runProgram(const QStringList& arguments)
{
    TChildProcess program;
    TProgramRun run;
    if (!program.Start(QStringLiteral(PARLOTEL_EXE), arguments))
        return run;
    program.CloseInput();
    run.Exit = program.Wait(ProgramMs);
    run.Errors = program.ReadErrors();
    return run;
}

int receivedByUnit(TUnitProcess& unit)
{
    static const QRegularExpression count(QStringLiteral("received=(\\d+)"));
    return count.match(QString::fromLatin1(unit.Control("count"))).captured(1).toInt();
}

// Runs fn once ready and only the application's own event loop runs: not
// inside a message box's, where a closed window would not end the program.
void atTopLevel(const std::function<void()>& fn, const std::function<bool()>& ready)
{
    QTimer::singleShot(10, qApp, [fn, ready] {
        if (!ready() || QThread::currentThread()->loopLevel() > 1 || QApplication::activeModalWidget())
            atTopLevel(fn, ready);
        else
            fn();
    });
}

TForm1* mainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<TForm1*>(widget))
            return window;
    return nullptr;
}

bool settle(TForm1* window)
{
    return window->Server()->WaitIdle(JobsMs) && window->BusyCount() == 0;
}

// The program with its window, as started with the given arguments; scenario
// drives it once its event loop runs (and ready says so), then the window is
// closed. A message box shown before the loop runs has a loop of its own:
// ready must hold only once that box is gone.
int runWindow(
    QStringList arguments, const std::function<void(TForm1*)>& scenario,
    const std::function<bool()>& ready = [] { return true; })
{
    arguments.prepend(QStringLiteral("parlotel"));
    QByteArrayList bytes;
    std::vector<char*> argv;
    for (const QString& argument : arguments)
        bytes << argument.toLocal8Bit();
    for (QByteArray& argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    TProgramOptions options;
    if (ParseProgramOptions(int(argv.size()) - 1, argv.data(), options))
        return -1;
    atTopLevel(
        [scenario] {
            TForm1* window = mainWindow();
            scenario(window);
            window->close();
        },
        ready);
    const int code = RunWindow(options, QString(), *qApp);
    SetApplicationTerminating(false); // the next test goes on in this process
    return code;
}

QString textOf(const std::vector<TTraceStream::TPiece>& pieces)
{
    QStringList parts;
    for (const auto& piece : pieces)
        parts << (piece.Block ? QStringLiteral("[") + piece.Text + QStringLiteral("]") : piece.Text);
    return parts.join(QString());
}

// Plays the receiving end of a YModem batch against sb on pipes, telling the
// trace every byte both ways as they come.
bool receiveFromSb(TChildProcess& sb, TLineTrace& trace)
{
    const auto send = [&](const QByteArray& bytes) {
        trace.Sent(bytes);
        sb.Write(bytes);
    };
    send("C");
    QByteArray pending;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
        const QByteArray bytes = sb.Read(1000);
        if (bytes.isEmpty() && !sb.Running())
            return sb.Wait(10000) == 0;
        trace.Received(bytes);
        pending += bytes;
        while (!pending.isEmpty()) {
            const char first = pending[0];
            if (first == 0x01 || first == 0x02) {
                const int size = 3 + (first == 0x02 ? 1024 : 128) + 2;
                if (pending.size() < size)
                    break;
                // A file's header asks for its data; the empty one ends the batch.
                const bool header = pending[1] == 0 && pending[3] != 0;
                pending.remove(0, size);
                send(header ? QByteArray("\x06" "C") : QByteArray("\x06"));
            } else {
                pending.remove(0, 1);
                if (first == 0x04)
                    send("\x06" "C");
            }
        }
    }
    return false;
}

} // namespace

class TestLineTrace : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

private slots:
    void bytesAsText()
    {
        QCOMPARE(TTraceStream::ByteText(0x0D), QStringLiteral("<CR>"));
        QCOMPARE(TTraceStream::ByteText(0x18), QStringLiteral("<CAN>"));
        QCOMPARE(TTraceStream::ByteText(0x7F), QStringLiteral("<DEL>"));
        QCOMPARE(TTraceStream::ByteText(0xE4), QStringLiteral("д"));
        QCOMPARE(TTraceStream::ByteText(0x98), QStringLiteral("<0x98>"));

        TTraceStream stream;
        QCOMPARE(textOf(stream.Feed("PC SYS>\r\n")), QStringLiteral("PC SYS><CR><LF>"));
        // A start byte whose number and complement disagree is no block.
        QCOMPARE(textOf(stream.Feed(QByteArray("\x01\x05\x05OK", 5))), QStringLiteral("<SOH><ENQ><ENQ>OK"));

        // The echo of a secret shows as stars, as long as it is the echo.
        stream.MaskEcho("1234");
        QCOMPARE(textOf(stream.Feed("12")), QStringLiteral("**"));
        QCOMPARE(textOf(stream.Feed("34\r")), QStringLiteral("**<CR>"));
        stream.MaskEcho("1234");
        QCOMPARE(textOf(stream.Feed("1x34")), QStringLiteral("*x34"));
        QCOMPARE(textOf(TTraceStream().FeedSecret("1234")), QStringLiteral("****"));

        // A password read: its value, in pieces, up to the CR; a refusal
        // withdrawn leaves the next value readable.
        stream.MaskValue(true);
        QCOMPARE(textOf(stream.Feed("104\r\n=11")), QStringLiteral("104<CR><LF>=**"));
        QCOMPARE(textOf(stream.Feed("11\r\nPC SYS>=12\r")), QStringLiteral("**<CR><LF>PC SYS>=12<CR>"));
        stream.MaskValue(true);
        QCOMPARE(textOf(stream.Feed("ERROR\r")), QStringLiteral("ERROR<CR>"));
        stream.MaskValue(false);
        QCOMPARE(textOf(stream.Feed("=12\r")), QStringLiteral("=12<CR>"));
    }

    void damagedAndCutBlocks()
    {
        QByteArray block("\x01\x07\xf8", 3);
        block += QByteArray(128, 'a');
        block += QByteArray(2, '\0'); // not the CRC of 128 × 'a'
        TTraceStream stream;
        QCOMPARE(textOf(stream.Feed(block.left(100))), QString());
        QCOMPARE(textOf(stream.Feed(block.mid(100) + "\x06")), QStringLiteral("[YMODEM block 7, 128 bytes, CRC bad]<ACK>"));
        QCOMPARE(textOf(stream.Feed(block.left(50))), QString());
        QCOMPARE(textOf(stream.Finish()), QStringLiteral("[YMODEM block 7, 128 bytes, cut short after 50 bytes]"));
    }

    void realTransferSummarisedAndFlushed()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sb")).isEmpty())
            QSKIP("lrzsz (sb) is not installed");
        QFile data(dir.filePath(QStringLiteral("voice.pcm")));
        QVERIFY(data.open(QIODevice::WriteOnly));
        QByteArray bytes(3000, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7);
        data.write(bytes);
        data.close();

        const QString path = dir.filePath(QStringLiteral("trace.txt"));
        TLineTrace trace;
        QString error;
        QVERIFY(trace.Open(path, error));
        trace.Sent("GET\r");
        // Written down and flushed while the trace still runs.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(path).contains("> GET<CR>\n"), 10000);

        TChildProcess sb;
        TChildOptions inFolder;
        inFolder.Folder = dir.path();
        QVERIFY(sb.Start(QStringLiteral("sb"), {QStringLiteral("-k"), QStringLiteral("-q"), QStringLiteral("voice.pcm")},
                         inFolder));
        QVERIFY(receiveFromSb(sb, trace));
        // 3000 bytes: two 1K blocks, then 128-byte blocks for the last 952.
        const QByteArray expected[] = {
            "< YMODEM block 0, 128 bytes, CRC ok, file \"voice.pcm\", size 3000\n",
            "< YMODEM block 1, 1024 bytes, CRC ok\n",
            "< YMODEM block 2, 1024 bytes, CRC ok\n",
            "< YMODEM block 3, ",
            "< <EOT>",
            "< YMODEM block 0, 128 bytes, CRC ok, end of batch\n",
        };
        QTRY_VERIFY_WITH_TIMEOUT(readFile(path).contains(expected[5]), 10000);
        const QByteArray text = readFile(path);
        qsizetype at = 0;
        for (const QByteArray& line : expected) {
            const qsizetype found = text.indexOf(line, at);
            QVERIFY2(found >= 0, line.constData());
            at = found;
        }
        // No data byte is dumped: every received line is a summary or a control byte.
        for (const QByteArray& line : text.split('\n'))
            if (line.mid(12, 3) == " < " && !line.contains("YMODEM block"))
                QVERIFY2(line.endsWith("<EOT>") || line.endsWith("<NAK>") || line.endsWith("<CAN>"), line.constData());
    }
    // The program's blocks go to the line from the transfer thread, past the
    // session's sending: the trace shows them all the same, each answered by
    // the unit before the next, and the unit's blocks when it sends, answered
    // by the program's ACK. The password is still masked.
    void transferTracedBothWays()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const QByteArray sound = SoundBytes(5000, 5);
        QVERIFY(WriteTestFile(dir.filePath(QStringLiteral("upload.pcm")), sound));
        for (const char* command : {"--upload", "--download"}) {
            const QString trace = dir.filePath(QLatin1String(command + 2) + QStringLiteral(".trace"));
            const QString file = dir.filePath(QLatin1String(command + 2) + QStringLiteral(".pcm"));
            const TProgramRun r = runProgram({QLatin1String(command), QStringLiteral("menu:7"), file, QStringLiteral("--password"),
                                              SystemPassword, QStringLiteral("--device"), unit.Pty(),
                                              QStringLiteral("--trace"), trace});
            QVERIFY2(r.Exit == 0, r.Errors.constData());
            const QList<TTraceLine> lines = readTrace(trace);
            QVERIFY(!lines.isEmpty());
            const bool upload = QByteArray(command) == "--upload";
            const int size = checkBlocks(lines, upload, QStringLiteral("<ACK>"));
            QVERIFY2(size >= sound.size() && size < sound.size() + 1024, qPrintable(describe(lines)));
            const qsizetype password = findLine(lines, 0, true, QStringLiteral("****"));
            QVERIFY(password >= 0 && !lines[password].Text.contains(SystemPassword));
        }
        QCOMPARE(ReadTestFile(dir.filePath(QStringLiteral("download.pcm"))), sound);
    }

    // The window's --trace: a login through the password dialog, a page read,
    // and the goodbye of a window closed while connected, all in the file
    // once the program ends.
    void windowTraceOfALoginAndAPage()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const QString trace = dir.filePath(QStringLiteral("window.trace"));
        bool connected = false;
        bool pageRead = false;
        const int code = runWindow({QStringLiteral("--trace"), trace}, [&](TForm1* window) {
            spOverrideDevice(window->Session()->PortNumber, unit.Pty());
            AnswerNextModal<TFormPassword>([](TFormPassword* dialog) {
                QTest::keyClicks(dialog->Edit1, SystemPassword);
                dialog->accept();
            });
            window->btnConnect->click();
            connected = settle(window) && window->Session()->Level == TAAMenu::lvSystem;
            window->PageControl1->setCurrentWidget(window->tbsSysParams);
            pageRead = connected && settle(window);
        });
        spOverrideDevice(1, QString());
        QCOMPARE(code, 0);
        QVERIFY(connected);
        QVERIFY(pageRead);
        QVERIFY(CloseLeftoverModals().isEmpty());

        const QList<TTraceLine> lines = readTrace(trace);
        const QString all = describe(lines);
        const qsizetype wake = findLine(lines, 0, true, QStringLiteral("кдл<CR>"));
        const qsizetype asked = findLine(lines, wake, false, QStringLiteral("Password:"));
        const qsizetype password = findLine(lines, asked, true, QStringLiteral("****"));
        const qsizetype system = findLine(lines, password, false, QStringLiteral("SYSTEM_MODE<CR>"));
        const qsizetype get = findLine(lines, system, true, QStringLiteral("GET<CR>"));
        const qsizetype value = findLine(lines, get, false, QStringLiteral("="));
        const qsizetype goodbye = findLine(lines, value, true, Goodbye);
        QVERIFY2(wake >= 0 && asked > wake && password > asked && system > password, qPrintable(all));
        QVERIFY2(get > system && value > get && goodbye > value, qPrintable(all));
        QVERIFY2(findLine(lines, system, false, QStringLiteral("PC SYS>")) >= 0, qPrintable(all));
        // The password typed and its echo; the page may show stored ones.
        QVERIFY2(!lines[password].Text.contains(SystemPassword) && !lines[system].Text.contains(SystemPassword),
                 qPrintable(all));
    }

    // However a headless command ends, its trace is whole up to the goodbye:
    // a refused login (exit 1) and a command the unit refuses (exit 2).
    void headlessFailuresTracedToTheEnd()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const auto traced = [&](const QString& name, const QString& password, const QStringList& command) {
            const QString trace = dir.filePath(name);
            const TProgramRun r = runProgram(command + QStringList{QStringLiteral("--password"), password,
                                                                   QStringLiteral("--device"), unit.Pty(),
                                                                   QStringLiteral("--trace"), trace});
            return std::make_pair(r.Exit, readTrace(trace));
        };
        const auto [loginExit, login] = traced(QStringLiteral("login.trace"), QStringLiteral("9999"),
                                               {QStringLiteral("--get"), QStringLiteral("12")});
        QCOMPARE(loginExit, 1);
        const qsizetype password = findLine(login, 0, true, QStringLiteral("****"));
        QVERIFY2(password >= 0 && findLine(login, password, true, Goodbye) > password, qPrintable(describe(login)));

        QCOMPARE(unit.Control("fault refuse SET"), QByteArray("ok fault refuse SET"));
        const auto [setExit, set] = traced(QStringLiteral("set.trace"), SystemPassword,
                                           {QStringLiteral("--set"), QStringLiteral("12=200")});
        QCOMPARE(setExit, 2);
        const qsizetype refused = findLine(set, findLine(set, 0, true, QStringLiteral("SET<CR>")), false,
                                           QStringLiteral("ERROR<CR>"));
        QVERIFY2(refused >= 0 && findLine(set, refused, true, Goodbye) > refused, qPrintable(describe(set)));
    }

    // A new password written to the unit is typed like the login's: it, its
    // echo and the unit's replies with a password show as stars, while other
    // values stay readable.
    void passwordParametersMaskedWhenSet()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const QString trace = dir.filePath(QStringLiteral("password.trace"));
        const auto set = [&](const QString& assignment) {
            return runProgram({QStringLiteral("--set"), assignment, QStringLiteral("--password"), SystemPassword,
                               QStringLiteral("--device"), unit.Pty(), QStringLiteral("--trace"), trace})
                .Exit;
        };
        QCOMPARE(set(QStringLiteral("104=5678")), 0);
        const QList<TTraceLine> lines = readTrace(trace);
        const QString all = describe(lines);
        QVERIFY2(!all.contains(QStringLiteral("5678")), qPrintable(all));
        const qsizetype code = findLine(lines, findLine(lines, 0, true, QStringLiteral("SET<CR>")), true,
                                        QStringLiteral("104<CR>"));
        const qsizetype value = findLine(lines, code, true, QStringLiteral("*****"));
        QVERIFY2(code >= 0 && findLine(lines, value, false, QStringLiteral("*****")) > value, qPrintable(all));
        QVERIFY2(findLine(lines, 0, false, QStringLiteral("=****<CR>")) >= 0, qPrintable(all));
        QVERIFY2(!all.contains(QStringLiteral("1111")), qPrintable(all));

        QCOMPARE(set(QStringLiteral("12=200")), 0);
        QVERIFY2(findLine(readTrace(trace), 0, true, QStringLiteral("200<CR>")) >= 0, qPrintable(describe(readTrace(trace))));
    }

    // A trace file that cannot be made: the headless command refuses to run
    // (exit 3, nothing sent), the window says so and runs untraced. One the
    // system does not take (a full disk) fails the command that ran (exit 2),
    // and the window says so when it ends.
    // The bytes the program sends for a connect, a page read, a write, an
    // upload and an export, against the unit in its factory state, are those of
    // tests/data/line-fixture.txt: the program's dialogue with the unit does not
    // change by accident. PARLOTEL_WRITE_FIXTURE=1 writes the fixture anew.
    void sentBytesMatchTheFixture()
    {
        QTemporaryDir dir;
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0"), QStringLiteral("--state"),
                           dir.filePath(QStringLiteral("unit.json"))});
        QVERIFY(!unit.Pty().isEmpty());
        const QString voice = dir.filePath(QStringLiteral("fixture.pcm"));
        QVERIFY(WriteTestFile(voice, SoundBytes(3000, 7)));
        const QList<QStringList> commands{
            {QStringLiteral("--set"), QStringLiteral("110=1")},
            {QStringLiteral("--list")},
            {QStringLiteral("--upload"), QStringLiteral("menu:3"), voice},
            {QStringLiteral("--export"), dir.filePath(QStringLiteral("settings.txt"))},
        };
        QString sent;
        for (const QStringList& command : commands) {
            const QString trace = dir.filePath(QStringLiteral("trace.txt"));
            const TProgramRun run = runProgram(command + QStringList{QStringLiteral("--device"), unit.Pty(),
                                                                      QStringLiteral("--password"), SystemPassword,
                                                                      QStringLiteral("--trace"), trace});
            QVERIFY2(run.Exit == 0, run.Errors.constData());
            sent += QStringLiteral("## parlotel ") + command.constFirst() + u'\n' + sentText(readTrace(trace));
        }
        QFile fixture(QStringLiteral(PARLOTEL_SOURCE_DIR "/tests/data/line-fixture.txt"));
        if (qEnvironmentVariableIsSet("PARLOTEL_WRITE_FIXTURE")) {
            QVERIFY(fixture.open(QIODevice::WriteOnly | QIODevice::Truncate));
            fixture.write(sent.toUtf8());
            QSKIP("fixture written");
        }
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        const QStringList expected = QString::fromUtf8(fixture.readAll()).split(u'\n');
        const QStringList actual = sent.split(u'\n');
        for (qsizetype i = 0; i < std::max(expected.size(), actual.size()); ++i)
            QVERIFY2(actual.value(i) == expected.value(i),
                     qPrintable(QStringLiteral("line %1: sent \"%2\", the fixture has \"%3\"")
                                    .arg(i + 1)
                                    .arg(actual.value(i), expected.value(i))));
    }

    void unusableTraceFilesAreReported()
    {
        TUnitProcess unit({QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY(!unit.Pty().isEmpty());
        const auto headless = [&](const QString& trace) {
            return runProgram({QStringLiteral("--get"), QStringLiteral("12"), QStringLiteral("--trace"), trace,
                               QStringLiteral("--device"), unit.Pty(), QStringLiteral("--password"), SystemPassword});
        };
        const auto window = [](const QString& trace) {
            QString said;
            QPointer<QMessageBox> shown;
            AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
                said = box->text();
                shown = box;
                box->accept();
            });
            const int code = runWindow({QStringLiteral("--trace"), trace}, [](TForm1*) {}, [&] { return !shown; });
            return std::make_pair(code, said);
        };

        const QString unmade = dir.filePath(QStringLiteral("no-folder/trace.txt"));
        TProgramRun r = headless(unmade);
        QCOMPARE(r.Exit, 3);
        QVERIFY2(QString::fromUtf8(r.Errors).contains(QStringLiteral("cannot write %1: the folder %2 does not exist")
                                                          .arg(unmade, dir.filePath(QStringLiteral("no-folder")))),
                 r.Errors.constData());
        QCOMPARE(receivedByUnit(unit), 0);
        auto [code, said] = window(unmade);
        QCOMPARE(code, 0);
        QVERIFY2(said.startsWith(QStringLiteral("Не удалось открыть файл трассировки ") + unmade), qPrintable(said));

        const QString full = QStringLiteral("/dev/full");
        if (!QFileInfo(full).isWritable() || QFileInfo(full).isFile())
            QSKIP("no /dev/full to stand for a full disk");
        r = headless(full);
        QCOMPARE(r.Exit, 2);
        QVERIFY2(QString::fromUtf8(r.Errors).contains(QStringLiteral("Не удалось записать файл трассировки /dev/full")),
                 r.Errors.constData());
        QVERIFY(receivedByUnit(unit) > 0);
        std::tie(code, said) = window(full);
        QCOMPARE(code, 0);
        QVERIFY2(said.startsWith(QStringLiteral("Не удалось записать файл трассировки /dev/full")), qPrintable(said));
        QVERIFY(CloseLeftoverModals().isEmpty());
    }
};

QTEST_MAIN(TestLineTrace)
#include "test_linetrace.moc"
