// The Telnet layer of the network device, byte by byte: the client's opening
// offers; data with 0xFF doubled out and undoubled in; commands and the
// server's sub-negotiations taken out of the data wherever the reads cut them;
// the answers to the server's requests (and none that would start a loop);
// the COM port commands held until the server agrees, sent in order after,
// and dropped with one notice when it refuses.
#include "serial/SpTelnet.h"
#include "TestFiles.h"

#include <QtTest>

using namespace TestSupport;

namespace {

using T = TSpTelnet;

// Feeds input cut into pieces of the given size; returns the data.
QByteArray feed(TSpTelnet& telnet, const QByteArray& input, int piece)
{
    QByteArray data;
    for (qsizetype at = 0; at < input.size(); at += piece) {
        const QByteArray chunk = input.mid(at, piece);
        QByteArray out(chunk.size(), '\0');
        out.resize(telnet.Receive(reinterpret_cast<const uint8_t*>(chunk.constData()), int(chunk.size()),
                                  reinterpret_cast<uint8_t*>(out.data())));
        data += out;
    }
    return data;
}

QByteArray sub(int command, const QByteArray& value)
{
    QByteArray escaped;
    for (const char c : value)
        escaped += uint8_t(c) == 255 ? QByteArray(2, c) : QByteArray(1, c);
    return ByteValues({T::IAC, T::SB, T::optComPort, command}) + escaped + ByteValues({T::IAC, T::SE});
}

// A server's traffic: its agreement, answers, notifications, an unknown
// option's sub-negotiation and commands, with the data a..z and 0xFF between.
QByteArray busyServerStream()
{
    return ByteValues({T::IAC, T::DO, T::optBinary, T::IAC, T::WILL, T::optBinary}) + "ab"
        + ByteValues({T::IAC, T::DO, T::optComPort}) + "c" + ByteValues({255, 255}) + "d" + sub(101, ByteValues({0, 0, 75, 0}))
        + "e" + sub(107, ByteValues({0x30})) + sub(106, ByteValues({255})) + "f"
        + ByteValues({T::IAC, T::SB, 77, 1, 2, 3, T::IAC, T::IAC, 4, T::IAC, T::SE}) + "g" + ByteValues({T::IAC, 241}) // NOP
        + "h" + ByteValues({T::IAC, T::WILL, T::optSga, T::IAC, T::DO, 24}) + ByteValues({255, 255, 255, 255}) + "i";
}

} // namespace

class TestSpTelnet : public QObject {
    Q_OBJECT
private slots:
    void opensWithBinarySgaAndComPortOffers()
    {
        TSpTelnet telnet;
        QCOMPARE(telnet.TakeOutput(), ByteValues({T::IAC, T::WILL, 0, T::IAC, T::WILL, 3, T::IAC, T::WILL, 44,
                                             T::IAC, T::DO, 0, T::IAC, T::DO, 3}));
        QCOMPARE(telnet.ComPort(), TSpTelnet::cpAsked);
    }

    void dataComesOutWhole_whereverTheReadsCut()
    {
        const QByteArray expected = "abc" + ByteValues({255}) + "defgh" + ByteValues({255, 255}) + "i";
        for (int piece = 1; piece <= 7; ++piece) {
            TSpTelnet telnet;
            QCOMPARE(feed(telnet, busyServerStream(), piece), expected);
            QCOMPARE(telnet.ComPort(), TSpTelnet::cpAgreed);
        }
    }

    void everyByteValueGoesOutDoubledAndComesBackOnce()
    {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        all += QByteArray(300, char(0xFF));
        TSpTelnet telnet;
        telnet.TakeOutput();
        telnet.EncodeData(reinterpret_cast<const uint8_t*>(all.constData()), int(all.size()));
        const QByteArray wire = telnet.TakeOutput();
        QCOMPARE(wire.size(), all.size() + 301);
        TSpTelnet receiver;
        QCOMPARE(feed(receiver, wire, 3), all);
    }

    void answersRequestsOnceAndRefusesWhatItDoesNotDo()
    {
        TSpTelnet telnet;
        telnet.TakeOutput();
        // Agreement to our own offers needs no answer; the unknown options are refused.
        feed(telnet, ByteValues({T::IAC, T::DO, 0, T::IAC, T::WILL, 0, T::IAC, T::DO, 24, T::IAC, T::WILL, 1}), 100);
        QCOMPARE(telnet.TakeOutput().left(6), ByteValues({T::IAC, T::WONT, 24, T::IAC, T::DONT, 1}));
        // A request for what is already so: silence (no loop).
        feed(telnet, ByteValues({T::IAC, T::DO, 0, T::IAC, T::WILL, 0}), 100);
        QVERIFY(!telnet.HasOutput());
        // The server switches BINARY off and on again: each change is acknowledged.
        feed(telnet, ByteValues({T::IAC, T::DONT, 0, T::IAC, T::DO, 0}), 100);
        QCOMPARE(telnet.TakeOutput(), ByteValues({T::IAC, T::WONT, 0, T::IAC, T::WILL, 0}));
    }

    void comPortCommandsWaitForAgreement_thenGoInOrder()
    {
        TSpTelnet telnet;
        telnet.TakeOutput();
        TSpLineSettings line; // 19200 8N1, no flow control
        QCOMPARE(telnet.SetLine(line), 0);
        telnet.SetModemLines(TSpDevice::mlDtr | TSpDevice::mlRts, false);
        telnet.Purge(TSpDevice::puClearInput | TSpDevice::puClearOutput);
        QVERIFY(!telnet.HasOutput());
        feed(telnet, ByteValues({T::IAC, T::DO, T::optComPort}), 100);
        const QByteArray expected = sub(10, ByteValues({0})) + sub(11, ByteValues({0})) + sub(1, ByteValues({0, 0, 0x4B, 0}))
            + sub(2, ByteValues({8})) + sub(3, ByteValues({1})) + sub(4, ByteValues({1})) + sub(5, ByteValues({1})) + sub(5, ByteValues({9}))
            + sub(5, ByteValues({12})) + sub(12, ByteValues({3}));
        QCOMPARE(telnet.TakeOutput(), expected);
        // Agreed: sent at once, a 0xFF inside a value doubled.
        line.BitRate = 255;
        line.Parity = 2;
        line.StopBits = 2;
        line.HardwareFlow = true;
        QCOMPARE(telnet.SetLine(line), 0);
        QCOMPARE(telnet.TakeOutput(), sub(1, ByteValues({0, 0, 0, 255})) + sub(2, ByteValues({8})) + sub(3, ByteValues({3}))
                                          + sub(4, ByteValues({2})) + sub(5, ByteValues({3})));
        telnet.Purge(TSpDevice::puClearInput);
        QCOMPARE(telnet.TakeOutput(), sub(12, ByteValues({1})));
        line.DataBits = 9;
        QCOMPARE(telnet.SetLine(line), EINVAL);
        QVERIFY(telnet.TakeNotice().isEmpty());
    }

    void refusedComPort_dropsCommandsAndSaysSoOnce()
    {
        TSpTelnet telnet;
        telnet.TakeOutput();
        QCOMPARE(telnet.SetLine(TSpLineSettings{}), 0);
        feed(telnet, ByteValues({T::IAC, T::DONT, T::optComPort}), 100);
        QCOMPARE(telnet.ComPort(), TSpTelnet::cpRefused);
        QVERIFY(!telnet.HasOutput()); // nothing held goes out, and our offer needs no answer
        QVERIFY(!telnet.TakeNotice().isEmpty());
        QVERIFY(telnet.TakeNotice().isEmpty());
        QCOMPARE(telnet.SetLine(TSpLineSettings{}), 0);
        telnet.Purge(TSpDevice::puClearInput);
        QVERIFY(!telnet.HasOutput());
        feed(telnet, ByteValues({T::IAC, T::DONT, T::optComPort}), 100);
        QVERIFY(telnet.TakeNotice().isEmpty());
    }

    // A server turning the option off and on again: each turn is answered
    // once, the masks are not asked for again, and commands go out while on.
    void comPortTakenBackAndGivenAgain()
    {
        TSpTelnet telnet;
        telnet.TakeOutput();
        feed(telnet, ByteValues({T::IAC, T::DO, 44}), 100);
        telnet.TakeOutput();
        for (int turn = 0; turn < 3; ++turn) {
            feed(telnet, ByteValues({T::IAC, T::DONT, 44, T::IAC, T::DO, 44}), 100);
            QCOMPARE(telnet.TakeOutput(), ByteValues({T::IAC, T::WONT, 44, T::IAC, T::WILL, 44}));
        }
        telnet.Purge(TSpDevice::puClearOutput);
        QCOMPARE(telnet.TakeOutput(), sub(12, ByteValues({2})));
        QVERIFY(telnet.TakeNotice().isEmpty()); // taken back after agreeing is no refusal
    }

    void commandInsideUnfinishedSubNegotiationIsStillRead()
    {
        TSpTelnet telnet;
        telnet.TakeOutput();
        // IAC DO 44 arrives before the sub-negotiation was ended: it counts.
        const QByteArray in = ByteValues({T::IAC, T::SB, 44, 107, 1, T::IAC, T::DO, 44}) + "x";
        QCOMPARE(feed(telnet, in, 1), QByteArray("x"));
        QCOMPARE(telnet.ComPort(), TSpTelnet::cpAgreed);
    }
};

QTEST_GUILESS_MAIN(TestSpTelnet)
#include "test_sptelnet.moc"
