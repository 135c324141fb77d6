// Reading and writing one parameter over a pseudo-terminal: what goes on the
// line, what the caller gets back, and the exact message of each way the unit
// can refuse, garble or stall (the stalls sit out the unit's 5 s limits).
#include "ParamUnit.h"
#include "settings/ParamExchange.h"

#include <QtTest>

using namespace TestSupport;

class TestParamExchange : public QObject {
    Q_OBJECT
private slots:
    void valuesGoAndComeBackUnchanged()
    {
        TParamRig rig;
        rig.Unit.Set(20, {}, TFaults{.SetPrompt = QByteArray("\r\nValue =")}); // only the "=" counts
        QList<int> back;
        QString text;
        QVERIFY(rig.RunOnWorker([&] {
            for (int value : {-42, INT32_MIN, INT32_MAX}) {
                NumberSet(12, value);
                back << NumberGet(12);
            }
            DirectorySet(20, QStringLiteral("12*#0"));
            text = DirectoryGet(20);
        }));
        QCOMPARE(back, QList<int>({-42, INT32_MIN, INT32_MAX}));
        QCOMPARE(text, QStringLiteral("12*#0"));
        QCOMPARE(rig.Unit.TakeLines().mid(0, 5), TLines({"SET", "12", "-42", "GET", "12"}));
        QCOMPARE(rig.Sink.Log(), QStringList());
    }

    void readFails_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("numberError");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("textError");
        const QString format = QStringLiteral("Incorrect number format, parameter: 7");
        QTest::newRow("ERROR") << QByteArray("ERROR\r\n") << "NumberGet: parameter (7): ERROR\r"
                               << "" << "DirectoryGet: parameter (7): ERROR\r";
        QTest::newRow("= alone") << QByteArray("=\r\n") << format << "" << "";
        QTest::newRow("not digits") << QByteArray("=12a\r\n") << format << "12a" << "";
        QTest::newRow("past 32 bits") << QByteArray("=2147483648\r\n") << format << "2147483648" << "";
        QTest::newRow("cp1251") << QByteArray("\xCE\xD8\xC8\xC1\xCA\xC0\r\n")
                                << "NumberGet: parameter (7): ОШИБКА\r"
                                << "" << "DirectoryGet: parameter (7): ОШИБКА\r";
        QTest::newRow("no reply") << QByteArray() << "NumberGet: Reception error"
                                  << "" << "DirectoryGet: Reception error";
    }
    void readFails()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, numberError);
        QFETCH(QString, text);
        QFETCH(QString, textError);
        TParamRig rig;
        rig.Unit.Set(7, "9", TFaults{.GetReply = reply});
        int number = -1;
        QString read = QStringLiteral("unset");
        QVERIFY(rig.RunOnWorker([&] { number = NumberGet(7); }));
        QCOMPARE(number, 0);
        QCOMPARE(rig.Sink.Errors(), QStringList(numberError));
        rig.Sink.Clear();
        QVERIFY(rig.RunOnWorker([&] { read = DirectoryGet(7); }));
        QCOMPARE(read, text);
        QCOMPARE(rig.Sink.Errors(), textError.isEmpty() ? QStringList() : QStringList(textError));
    }

    void writeFails_data()
    {
        QTest::addColumn<TFaults>("faults");
        QTest::addColumn<QString>("numberError");
        QTest::addColumn<QString>("textError");
        QTest::addColumn<bool>("valueSent");
        QTest::newRow("final ERROR") << TFaults{.FinalReply = QByteArray("ERROR\r\n")}
                                     << "NumberSet: reply: ERROR\r" << "NumberSet: reply: ERROR\r" << true;
        QTest::newRow("OK and more") << TFaults{.FinalReply = QByteArray("OK 5 stored\r\n")} << "" << "" << true;
        QTest::newRow("OK inside") << TFaults{.FinalReply = QByteArray("Result: OK\r\n")} << "" << "" << true;
        QTest::newRow("code refused") << TFaults{.SetPrompt = QByteArray("ERROR\r\n")}
                                      << "NumberSet: parameter (7): ERROR\r"
                                      << "DirectorySet: parameter (7): ERROR\r" << false;
        QTest::newRow("no prompt") << TFaults{.SetPrompt = QByteArray()}
                                   << "NumberSet: parameter (7): unknown error"
                                   << "DirectorySet: parameter (7): unknown error or timeout" << false;
        QTest::newRow("value not echoed") << TFaults{.EchoValue = false} << "NumberSet: parameter send error "
                                          << "DirectorySet: parameter send error " << true;
        QTest::newRow("no final reply") << TFaults{.FinalReply = QByteArray()} << "NumberSet: reply recept error "
                                        << "DirectorySet: reply recept error " << true;
    }
    void writeFails()
    {
        QFETCH(TFaults, faults);
        QFETCH(QString, numberError);
        QFETCH(QString, textError);
        QFETCH(bool, valueSent);
        TParamRig rig;
        rig.Unit.Set(7, "9", faults);
        const TLines sent = valueSent ? TLines{"SET", "7", "5"} : TLines{"SET", "7"};
        QVERIFY(rig.RunOnWorker([] { NumberSet(7, 5); }));
        QCOMPARE(rig.Unit.TakeLines(), sent);
        QCOMPARE(rig.Sink.Errors(), numberError.isEmpty() ? QStringList() : QStringList(numberError));
        rig.Sink.Clear();
        QVERIFY(rig.RunOnWorker([] { DirectorySet(7, QStringLiteral("5")); }));
        QCOMPARE(rig.Unit.TakeLines(), sent);
        QCOMPARE(rig.Sink.Errors(), textError.isEmpty() ? QStringList() : QStringList(textError));
    }

    // The request itself fails; the exchange still runs its own wait, reports
    // that too, and the read yields 0.
    void deadLineReportsTwice()
    {
        TParamRig rig;
        rig.Unit.Set(7, "9");
        rig.Unit.SetSilent(true);
        int number = -1;
        QVERIFY(rig.RunOnWorker([&] { number = NumberGet(7); NumberSet(7, 1); }));
        QCOMPARE(number, 0);
        QCOMPARE(rig.Sink.Errors(), QStringList({"SendGet: Bad Transactions", "NumberGet: Reception error",
                                                  "SendSet: Bad Transactions",
                                                  "NumberSet: parameter (7): unknown error"}));
    }

    // A control byte would end or cancel the unit's command rig.
    void stringThatIsNoDiallingStringIsNotSent()
    {
        TParamRig rig;
        QVERIFY(rig.RunOnWorker([] {
            for (const char16_t* bad : {u"12\r34", u"1\x18", u"12a", u"١٢"})
                DirectorySet(30, QString::fromUtf16(bad));
        }));
        QCOMPARE(rig.Unit.TakeLines(), TLines());
        QCOMPARE(rig.Sink.Errors().size(), 4);
        QCOMPARE(rig.Sink.Errors().value(2), QStringLiteral("DirectorySet: parameter (30): invalid value: 12a"));
    }
};

QTEST_MAIN(TestParamExchange)
#include "test_paramexchange.moc"
