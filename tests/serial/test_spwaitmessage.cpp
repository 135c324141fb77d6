// The prompt watcher: strings split across deliveries, Latin-only case folding,
// NUL taken as a blank, overlapping arrivals, caret decoding, and the watcher
// riding on a real port.
#include "TestSupport.h"
#include "serial/SpWaitMessage.h"

#include <QtTest>

using namespace TestSupport;

namespace {

class TWatcher : public TSpWaitMessage {
public:
    QList<int> Hits;
    TWatcher()
    {
        OnMessage = [this](TSpWaitMessage* sender, int index) {
            QCOMPARE(sender, this);
            Hits << index;
        };
    }
    void Feed(const QByteArray& bytes)
    {
        DataReceived(reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()));
    }
};

} // namespace

class TestSpWaitMessage : public QObject {
    Q_OBJECT
private slots:
    void splitAndOverlappingArrivals()
    {
        TWatcher w;
        w.Feed("PC SYS> anything");
        QVERIFY(w.Hits.isEmpty()); // no strings: nothing ever matches

        w.SetStrings({"PC SYS>", "AA", "", "S>"});
        w.Feed("PC S");
        QVERIFY(w.Hits.isEmpty());
        w.Feed("YS>");
        QCOMPARE(w.Hits, QList<int>({0, 3}));
        w.Hits.clear();
        w.Feed("AAA");
        QCOMPARE(w.Hits, QList<int>({1, 1}));

        // New strings start from empty windows.
        w.Hits.clear();
        w.Feed("PC SY");
        w.SetStrings({"PC SYS>"});
        w.Feed("S>");
        QVERIFY(w.Hits.isEmpty());
    }

    void caseFoldsLatinOnlyAndNulIsBlank()
    {
        TWatcher w;
        w.SetStrings({"pc mail>", "\xEA\xE4\xEB", "a b"}); // the second is Cyrillic "кдл"
        w.Feed("PC MAIL>");
        w.Feed("\xCA\xC4\xCB"); // "КДЛ": other letters match only themselves
        w.Feed("\xEA\xE4\xEB");
        w.Feed(QByteArray("A\0B", 3));
        QCOMPARE(w.Hits, QList<int>({0, 1, 2}));

        w.Hits.clear();
        w.SetCaseSensitive(true);
        w.Feed("PC MAIL>pc mail>");
        QCOMPARE(w.Hits, QList<int>({0}));
    }

    void caretsStandForControlCharacters()
    {
        QCOMPARE(TSpWaitMessage::DecodeCarets("OK^M^j"), QByteArray("OK\r\n"));
        QCOMPARE(TSpWaitMessage::DecodeCarets("^1^ >^"), QByteArray("^1^ >^"));
        QCOMPARE(TSpWaitMessage::DecodeCarets("ab^^cd"), QByteArray("ab"));
        TWatcher w;
        w.SetStrings({"OK^M"});
        w.Feed("OK\r");
        QCOMPARE(w.Hits, QList<int>({0}));
    }

    void ridesOnThePortUntilDeactivated()
    {
        TPtyPair pty;
        TSpComm port;
        TWatcher w;
        w.SetComm(&port);
        w.SetStrings({"Password:"});
        port.SetDeviceName(pty.SlavePath());
        port.Open();
        pty.Write("Pass");
        pty.Write("word:");
        QVERIFY(spProcessMessagesUntil([&] { return !w.Hits.isEmpty(); }, 10000));
        w.SetActive(false);
        int bursts = 0;
        port.OnRxBuf = [&](TSpComm*, const uint8_t*, int) { ++bursts; };
        pty.Write("Password:");
        QVERIFY(spProcessMessagesUntil([&] { return bursts > 0 && port.InQueCount() == 0; }, 10000));
        QCOMPARE(w.Hits.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSpWaitMessage)
#include "test_spwaitmessage.moc"
