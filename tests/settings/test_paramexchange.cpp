// Reading and writing one parameter over a real pseudo-terminal: what goes
// on the line, what the caller gets back, and the exact message of every way
// the unit can refuse, garble or stall.
#include "LineFixture.h"
#include "settings/ParamExchange.h"

#include <QApplication>
#include <QtTest>

using TFaults = TScriptedUnit::TFaults;
Q_DECLARE_METATYPE(TFaults)
using TLines = QList<QByteArray>;

namespace {

struct TReadResult {
    int Number = -1;
    QStringList NumberErrors;
    QString Text = QStringLiteral("unset");
    QStringList TextErrors;
};

// Reads the parameter both as an integer and as a string.
TReadResult readBothWays(TLineFixture& f, int code)
{
    TReadResult r;
    f.RunOnWorker([&] { r.Number = NumberGet(code); });
    r.NumberErrors = f.Sink.Errors();
    f.Sink.Clear();
    f.RunOnWorker([&] { r.Text = DirectoryGet(code); });
    r.TextErrors = f.Sink.Errors();
    f.Sink.Clear();
    return r;
}

struct TWriteResult {
    QStringList NumberErrors;
    TLines NumberLines;
    QStringList TextErrors;
    TLines TextLines;
};

// Writes 5 as an integer, then "5" as a string.
TWriteResult writeBothWays(TLineFixture& f, int code)
{
    TWriteResult r;
    f.RunOnWorker([&] { NumberSet(code, 5); });
    r.NumberErrors = f.Sink.Errors();
    r.NumberLines = f.Unit.Lines();
    f.Sink.Clear();
    f.Unit.ClearLines();
    f.RunOnWorker([&] { DirectorySet(code, QStringLiteral("5")); });
    r.TextErrors = f.Sink.Errors();
    r.TextLines = f.Unit.Lines();
    f.Sink.Clear();
    f.Unit.ClearLines();
    return r;
}

QStringList oneMessage(const QString& text)
{
    return text.isEmpty() ? QStringList() : QStringList{text};
}

} // namespace

class TestParamExchange : public QObject {
    Q_OBJECT
private slots:
    void valuesGoAndComeBackUnchanged()
    {
        TLineFixture f;
        const QList<int> numbers{-42, 0, INT32_MIN, INT32_MAX};
        for (int value : numbers) {
            int back = 1;
            QVERIFY(f.RunOnWorker([&] { NumberSet(12, value); back = NumberGet(12); }));
            QCOMPARE(back, value);
            QCOMPARE(f.Unit.Value(12), QByteArray::number(value));
        }
        QCOMPARE(f.Unit.Lines().mid(0, 5), TLines({"SET", "12", "-42", "GET", "12"}));

        // Whatever the unit says before its "=" prompt is passed over.
        f.Unit.SetFaults(20, TFaults{.SetPrompt = QByteArray("\r\nValue =")});
        QString text;
        QVERIFY(f.RunOnWorker([&] { DirectorySet(20, QStringLiteral("12*#0")); text = DirectoryGet(20); }));
        QCOMPARE(text, QStringLiteral("12*#0"));
        QCOMPARE(f.Sink.Log(), QStringList());
    }

    void readReplyThatIsNoValue_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("numberError");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("textError");
        const QString format = QStringLiteral("Incorrect number format, parameter: 7");
        QTest::newRow("ERROR") << QByteArray("ERROR\r\n") << 0 << "NumberGet: parameter (7): ERROR\r"
                               << "" << "DirectoryGet: parameter (7): ERROR\r";
        QTest::newRow("= alone") << QByteArray("=\r\n") << 0 << format << "" << "";
        QTest::newRow("not digits") << QByteArray("=12a\r\n") << 0 << format << "12a" << "";
        QTest::newRow("past 32 bits") << QByteArray("=2147483648\r\n") << 0 << format << "2147483648" << "";
        QTest::newRow("sign alone") << QByteArray("=-\r\n") << 0 << format << "-" << "";
        QTest::newRow("= not first") << QByteArray(" =5\r\n") << 0 << "NumberGet: parameter (7):  =5\r"
                                     << "" << "DirectoryGet: parameter (7):  =5\r";
        QTest::newRow("Cyrillic, cp1251") << QByteArray("\xCE\xD8\xC8\xC1\xCA\xC0\r\n") << 0
                                          << "NumberGet: parameter (7): ОШИБКА\r"
                                          << "" << "DirectoryGet: parameter (7): ОШИБКА\r";
    }
    void readReplyThatIsNoValue()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, number);
        QFETCH(QString, numberError);
        QFETCH(QString, text);
        QFETCH(QString, textError);
        TLineFixture f;
        f.Unit.SetFaults(7, TFaults{.GetReply = reply});
        const TReadResult r = readBothWays(f, 7);
        QCOMPARE(r.Number, number);
        QCOMPARE(r.NumberErrors, oneMessage(numberError));
        QCOMPARE(r.Text, text);
        QCOMPARE(r.TextErrors, oneMessage(textError));
    }

    void writeRefusedOrAccepted_data()
    {
        QTest::addColumn<TFaults>("faults");
        QTest::addColumn<QString>("numberError");
        QTest::addColumn<QString>("textError");
        QTest::addColumn<bool>("valueSent");
        QTest::newRow("final ERROR")
            << TFaults{.FinalReply = QByteArray("ERROR\r\n")}
            << "NumberSet: reply: ERROR\r" << "NumberSet: reply: ERROR\r" << true;
        QTest::newRow("OK with more text") << TFaults{.FinalReply = QByteArray("OK 5 stored\r\n")}
                                           << "" << "" << true;
        QTest::newRow("OK inside") << TFaults{.FinalReply = QByteArray("Result: OK\r\n")}
                                   << "" << "" << true;
        QTest::newRow("code refused with a line")
            << TFaults{.SetPrompt = QByteArray("ERROR\r\n")}
            << "NumberSet: parameter (7): ERROR\r" << "DirectorySet: parameter (7): ERROR\r" << false;
        QTest::newRow("no prompt, nothing said")
            << TFaults{.SetPrompt = QByteArray()}
            << "NumberSet: parameter (7): unknown error"
            << "DirectorySet: parameter (7): unknown error or timeout" << false;
    }
    void writeRefusedOrAccepted()
    {
        QFETCH(TFaults, faults);
        QFETCH(QString, numberError);
        QFETCH(QString, textError);
        QFETCH(bool, valueSent);
        TLineFixture f;
        f.Unit.SetFaults(7, faults);
        const TWriteResult r = writeBothWays(f, 7);
        QCOMPARE(r.NumberErrors, oneMessage(numberError));
        QCOMPARE(r.TextErrors, oneMessage(textError));
        const TLines expected = valueSent ? TLines{"SET", "7", "5"} : TLines{"SET", "7"};
        QCOMPARE(r.NumberLines, expected);
        QCOMPARE(r.TextLines, expected);
    }

    // Each row sits out the unit's 5 s limit twice.
    void unitStallsAt_data()
    {
        QTest::addColumn<TFaults>("faults");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("numberError");
        QTest::addColumn<QString>("textError");
        QTest::newRow("read reply") << TFaults{.GetReply = QByteArray()} << false
                                    << "NumberGet: Reception error" << "DirectoryGet: Reception error";
        QTest::newRow("value echo") << TFaults{.EchoValue = false} << true
                                    << "NumberSet: parameter send error "
                                    << "DirectorySet: parameter send error ";
        QTest::newRow("final reply") << TFaults{.FinalReply = QByteArray()} << true
                                     << "NumberSet: reply recept error "
                                     << "DirectorySet: reply recept error ";
    }
    void unitStallsAt()
    {
        QFETCH(TFaults, faults);
        QFETCH(bool, write);
        QFETCH(QString, numberError);
        QFETCH(QString, textError);
        TLineFixture f;
        f.Unit.SetValue(7, "9");
        f.Unit.SetFaults(7, faults);
        if (write) {
            const TWriteResult r = writeBothWays(f, 7);
            QCOMPARE(r.NumberErrors, oneMessage(numberError));
            QCOMPARE(r.TextErrors, oneMessage(textError));
        } else {
            const TReadResult r = readBothWays(f, 7);
            QCOMPARE(r.Number, 0);
            QCOMPARE(r.NumberErrors, oneMessage(numberError));
            QCOMPARE(r.Text, QString());
            QCOMPARE(r.TextErrors, oneMessage(textError));
        }
    }

    // The request itself fails; the exchange still runs its own wait and
    // reports that too, and the read yields 0.
    void deadLineReportsTwice()
    {
        TLineFixture f;
        f.Unit.SetValue(7, "9");
        f.Unit.SetSilent(true);
        int number = -1;
        QVERIFY(f.RunOnWorker([&] { number = NumberGet(7); }));
        QCOMPARE(number, 0);
        QCOMPARE(f.Sink.Errors(), QStringList({"SendGet: Bad Transactions", "NumberGet: Reception error"}));
        f.Sink.Clear();
        QVERIFY(f.RunOnWorker([&] { NumberSet(7, 1); }));
        QCOMPARE(f.Sink.Errors(), QStringList({"SendSet: Bad Transactions",
                                               "NumberSet: parameter (7): unknown error"}));
    }

    // A control byte would end or cancel the unit's command line: such a
    // value never reaches the line.
    void stringThatIsNoDiallingStringIsNotSent()
    {
        TLineFixture f;
        const QStringList bad{QStringLiteral("12\r34"), QStringLiteral("1\x18"), QStringLiteral("12a"),
                              QStringLiteral("١٢")};
        for (const QString& value : bad)
            QVERIFY(f.RunOnWorker([&] { DirectorySet(30, value); }));
        QCOMPARE(f.Unit.Lines(), TLines());
        QCOMPARE(f.Sink.Errors().size(), bad.size());
        QCOMPARE(f.Sink.Errors().value(2), QStringLiteral("DirectorySet: parameter (30): invalid value: 12a"));
    }
};

QTEST_MAIN(TestParamExchange)
#include "test_paramexchange.moc"
