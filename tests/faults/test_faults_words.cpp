// The unit answering "BUSY", "ERROR" or a word the program does not know
// instead of the reply line (or, for writes, the question) a step waits for:
// one table row per step that reads a reply, each tried with the three words.
// The program shows the step's message, takes nothing from the word and stays
// usable.
#include "FaultRig.h"
#include "GuiTestSupport.h"
#include "window/Unit1.h"
#include "session/AAMenu.h"
#include "settings/CheckJob.h"
#include "settings/ClockJob.h"
#include "settings/DirectoryJobs.h"
#include "settings/ListDlg.h"
#include "settings/MailDlg.h"
#include "settings/MenuDlg.h"
#include "ui/Directory.h"
#include "ui/MailAdd.h"
#include "ui/MenuItm.h"
#include "ui/StringGrid.h"

#include <QCalendarWidget>
#include <QDate>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QtTest>

#include <functional>

using namespace TestSupport;

namespace {

const QStringList Words{QStringLiteral("BUSY"), QStringLiteral("ERROR"), QStringLiteral("HUH")};

void submit(TFaultRig& rig, TJoint1* job, int state)
{
    job->State = state;
    rig.Window->Session()->Submit(job);
    QVERIFY(rig.Settle());
}

TMenuDlg* mainMenu(TForm1& w)
{
    return static_cast<TMenuDlg*>(w.sgMenu->Objects(0, 1));
}

TFile* firstMessage(TForm1& w)
{
    return static_cast<TFile*>(w.sgMessages->Objects(1, 1));
}

// The clock jobs belong to the clock window; the test brings its own.
struct TClockJob {
    TClockJob() { Job.TimePicker = &Picker; Job.Calendar = &Calendar; }
    QTimeEdit Picker;
    QCalendarWidget Calendar;
    TClock Job;
};

// Per word: the message for "ERROR" and for any other word.
std::function<QString(const QString&)> byWord(const char* error, const char* other)
{
    return [error, other](const QString& word) {
        return QString::fromUtf8(word == QLatin1String("ERROR") ? error : other);
    };
}

std::function<QString(const QString&)> alike(const char* message)
{
    return byWord(message, message);
}

// A reply word names itself after head; any other word gets other.
QString refusal(const QString& word, const char* head, const QString& other)
{
    return word == QLatin1String("HUH") ? other : QLatin1String(head) + word;
}

struct TStep {
    const char* Name;
    QWidget* TForm1::*Page; // shown before the fault, so the job has what it writes back
    int Skip;               // reply lines and questions let through before the word
    std::function<void(TFaultRig&)> Run;
    std::function<QString(TForm1&, const QString& word)> Message;
};

QString line(const QString& word)
{
    return word + QLatin1Char('\r');
}

const std::vector<TStep>& steps()
{
    static const std::vector<TStep> table{
        {"number read", &TForm1::tbsNumbers, 1,
         [](TFaultRig& rig) { submit(rig, rig.Window->HolidayJob, 3); },
         [](TForm1& w, const QString& word) {
             return QStringLiteral("NumberGet: parameter (%1): ").arg(w.HolidayJob->Code) + line(word);
         }},
        {"number write, value question", &TForm1::tbsNumbers, 1,
         [](TFaultRig& rig) { submit(rig, rig.Window->HolidayJob, 1); },
         [](TForm1& w, const QString& word) {
             return QStringLiteral("NumberSet: parameter (%1): ").arg(w.HolidayJob->Code) + line(word);
         }},
        {"number write, final reply", &TForm1::tbsNumbers, 2,
         [](TFaultRig& rig) { submit(rig, rig.Window->HolidayJob, 1); },
         [](TForm1&, const QString& word) { return QStringLiteral("NumberSet: reply: ") + line(word); }},
        {"digits read", &TForm1::tbsNumbers, 1,
         [](TFaultRig& rig) { submit(rig, rig.Window->AdmPwdJob, 3); },
         [](TForm1& w, const QString& word) {
             return QStringLiteral("DirectoryGet: parameter (%1): ").arg(w.AdmPwdJob->Code) + line(word);
         }},
        {"extension added", &TForm1::tbsNumbers, 1,
         [](TFaultRig& rig) {
             AnswerNextModal<TFormDirectory>([](TFormDirectory* d) {
                 QTest::keyClicks(d->Edit1, QStringLiteral("555"));
                 d->btnOK->click();
             });
             submit(rig, rig.Window->ListJob, 10);
         },
         [](TForm1&, const QString& word) { return byWord("List (ADD): Reply: ERROR", "List (ADD): Unknown error")(word); }},
        {"menu read, TC line", &TForm1::tbsMenu, 1, [](TFaultRig& rig) { submit(rig, mainMenu(*rig.Window), 3); },
         [](TForm1&, const QString& word) { return alike("Menu (GET): Can't find TC=")(word); }},
        {"menu read, MSG line", &TForm1::tbsMenu, 2, [](TFaultRig& rig) { submit(rig, mainMenu(*rig.Window), 3); },
         [](TForm1&, const QString& word) { return alike("Menu (GET): Can't find MSG=")(word); }},
        {"menu read, key 5", &TForm1::tbsMenu, 8, [](TFaultRig& rig) { submit(rig, mainMenu(*rig.Window), 3); },
         [](TForm1&, const QString& word) { return alike("Menu (GET): Can't find item number")(word); }},
        {"menu write, key 5 question", &TForm1::tbsMenu, 7,
         [](TFaultRig& rig) {
             AnswerNextModal<TFormMenuItm>([](TFormMenuItm* d) { d->btnOK->click(); });
             mainMenu(*rig.Window)->EditedKey = 0;
             submit(rig, mainMenu(*rig.Window), 60);
         },
         [](TForm1&, const QString& word) {
             return byWord("Menu (SET): 'ERROR' instead of item prompt", "Menu (SET): Unknown error (items)")(word);
         }},
        {"menu write, final reply", &TForm1::tbsMenu, 12,
         [](TFaultRig& rig) {
             AnswerNextModal<TFormMenuItm>([](TFormMenuItm* d) { d->btnOK->click(); });
             mainMenu(*rig.Window)->EditedKey = 0;
             submit(rig, mainMenu(*rig.Window), 60);
         },
         [](TForm1&, const QString& word) {
             return byWord("Menu (SET): Final reply: 'ERROR'", "Menu (SET):Unknown final reply")(word);
         }},
        {"menu recording deleted", &TForm1::tbsMenu, 1,
         [](TFaultRig& rig) {
             rig.Sink.QueueConfirm(true);
             submit(rig, mainMenu(*rig.Window), 20);
         },
         [](TForm1&, const QString& word) {
             return byWord("Menu (DELMSG): reply: 'ERROR'", "Menu (DELMSG): Unknown error")(word);
         }},
        {"mailboxes read", &TForm1::tbsNumbers, 0, [](TFaultRig& rig) { submit(rig, rig.Window->MailJob, 3); },
         [](TForm1&, const QString& word) {
             return refusal(word, "Mail (GETALL): Reply: ", QStringLiteral("Mail: Unable to find FREE= or N="));
         }},
        // A word that refuses is no entry; any other line is one, as the unit printed it.
        {"extensions read", &TForm1::tbsMail, 0, [](TFaultRig& rig) { submit(rig, rig.Window->ListJob, 3); },
         [](TForm1&, const QString& word) { return refusal(word, "List (GETALL): Reply: ", QString()); }},
        {"mailbox created", &TForm1::tbsMail, 2,
         [](TFaultRig& rig) {
             AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
                 QTest::keyClicks(d->edtOwner, QStringLiteral("399"));
                 d->btnOK->click();
             });
             submit(rig, rig.Window->MailJob, 10);
         },
         [](TForm1&, const QString& word) {
             return byWord("Mail: reply at the end of command: ERROR", "Mail: Unknown reply at the end of command")(word);
         }},
        {"clock read", &TForm1::tbsNumbers, 0,
         [](TFaultRig& rig) {
             TClockJob clock;
             submit(rig, &clock.Job, 3);
         },
         [](TForm1&, const QString& word) { return alike("Time: Empty or incorrect reply")(word); }},
        {"clock set", &TForm1::tbsNumbers, 1,
         [](TFaultRig& rig) {
             TClockJob clock;
             clock.Job.ClockString = TClock::MakeClockString(QDate(2026, 3, 5), QTime(7, 8, 9));
             submit(rig, &clock.Job, 2);
         },
         [](TForm1&, const QString& word) { return byWord("Time: reply: ERROR", "Time: Unknown error")(word); }},
        {"recording read", &TForm1::tbsMessages, 1, [](TFaultRig& rig) { submit(rig, firstMessage(*rig.Window), 3); },
         [](TForm1& w, const QString& word) {
             return QStringLiteral("MessageGet: parameter (%1): error parsing name: ").arg(firstMessage(w)->Code) + line(word);
         }},
        {"recording cleared", &TForm1::tbsMessages, 1,
         [](TFaultRig& rig) {
             rig.Sink.QueueConfirm(true);
             submit(rig, firstMessage(*rig.Window), 20);
         },
         [](TForm1&, const QString& word) {
             return byWord("File (CLEAR): reply: 'ERROR'", "File (CLEAR): Unknown error")(word);
         }},
    };
    return table;
}

} // namespace

class TestFaultsWords : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    void loginAnswered_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("BUSY") << QStringLiteral("BUSY")
                              << QStringList{"P", "W: Устройство занято!\r Дождитесь освобождения всех линий и повторите ввод.", "P"};
        QTest::newRow("ERROR") << QStringLiteral("ERROR") << QStringList{"P", "W: Неверный пароль! Повторите ввод.", "P"};
        QTest::newRow("HUH") << QStringLiteral("HUH") << QStringList{"P", "E: Unknown response on password input"};
    }

    // The password asked again after a refusal is not given: the session ends.
    void loginAnswered()
    {
        QFETCH(QString, word);
        QFETCH(QStringList, log);
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Fault("fault word " + word.toLatin1()));
        QVERIFY(!rig.Connect(QStringLiteral("1234")));
        QCOMPARE(rig.Sink.Log(), log);
        QCOMPARE(rig.Window->Session()->Level, uint8_t(TAAMenu::lvOff));
        QVERIFY(rig.StaysUsable());
    }

    // The unit refusing to enter a menu: told once, the connection stays, the
    // next job goes on from the menu the unit stayed at.
    void menuCommandRefused_data()
    {
        QTest::addColumn<QByteArray>("menu");
        QTest::newRow("mailboxes") << QByteArray("MAIL");
        QTest::newRow("extensions") << QByteArray("LIST");
    }

    void menuCommandRefused()
    {
        QFETCH(QByteArray, menu);
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        TJoint1* job = menu == "MAIL" ? static_cast<TJoint1*>(w.MailJob) : static_cast<TJoint1*>(w.ListJob);
        rig.Sink.Clear();
        QVERIFY(rig.Fault("fault refuse " + menu));
        submit(rig, job, 3);
        QCOMPARE(rig.Sink.Log(), QStringList{QStringLiteral("E: AAMenu (%1): Reply: ERROR").arg(menu)});
        QCOMPARE(w.Session()->Level, uint8_t(TAAMenu::lvSystem));
        QVERIFY(rig.Fault("fault none"));
        rig.Sink.Clear();
        w.MailJob->Count = 0;
        submit(rig, job, 3);
        QCOMPARE(rig.Sink.Log(), QStringList());
        if (menu == "MAIL")
            QCOMPARE(w.MailJob->Count, 2);
    }

    void replyReplaced_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("word");
        for (size_t i = 0; i < steps().size(); ++i)
            for (const QString& word : Words)
                QTest::addRow("%s: %s", steps()[i].Name, qPrintable(word)) << int(i) << word;
    }

    void replyReplaced()
    {
        QFETCH(int, step);
        QFETCH(QString, word);
        checkReply(steps()[size_t(step)], word);
    }

    // The readers of replies of several lines take every refusing word for
    // a refusal, not only the common ones.
    void listRefusals_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("word");
        for (size_t i = 0; i < steps().size(); ++i)
            if (QByteArray(steps()[i].Name) == "mailboxes read" || QByteArray(steps()[i].Name) == "extensions read")
                for (const char* word : {"NO_FREE_MEM", "NOT_FOUND"})
                    QTest::addRow("%s: %s", steps()[i].Name, word) << int(i) << QString::fromLatin1(word);
    }

    void listRefusals() { replyReplaced(); }

private:
    void checkReply(const TStep& s, const QString& word)
    {
        TFaultRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.*s.Page));
        rig.Sink.Clear();
        QVERIFY(rig.Fault("fault word " + word.toLatin1() + ' ' + QByteArray::number(s.Skip)));
        s.Run(rig);
        QVERIFY(rig.Fault("fault none"));
        QCOMPARE(rig.Sink.Errors().value(0), s.Message(w, word));
        QVERIFY(rig.StaysUsable());
    }
};

QTEST_MAIN(TestFaultsWords)
#include "test_faults_words.moc"
