// The line trace: bytes as readable text (control names, Windows-1251 as
// UTF-8), a masked password and its echo, YModem blocks of a real sender (lrzsz)
// summarised by their structure even when they arrive in pieces, a damaged
// block, and a file that is flushed while the trace still runs.
#include "UnitClient.h"
#include "app/LineTrace.h"
#include "app/TraceStream.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
};

QTEST_MAIN(TestLineTrace)
#include "test_linetrace.moc"
