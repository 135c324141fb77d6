// The window's message boxes and password prompt, raised from a worker thread
// as jobs raise them, and answered through the modal-dialog driver.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "serial/SpSync.h"
#include "session/Password.h"
#include "session/Server.h"
#include "ui/WindowMessageSink.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace TestSupport;

namespace {

// Runs fn on a thread of its own and serves the main thread until it is done.
template <class Fn>
bool runOnWorker(Fn fn)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        fn();
        done = true;
        spWakeMainThread();
    });
    const bool finished = spProcessMessagesUntil([&] { return done.load(); }, 20000);
    worker.join();
    return finished;
}

struct TBoxSeen {
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Title, Text;
    QStringList Buttons;
};

// Answers the next message box with the button of the given text.
void answerBox(TBoxSeen& seen, const QString& press)
{
    AnswerNextModal<QMessageBox>([&seen, press](QMessageBox* box) {
        seen.Icon = box->icon();
        seen.Title = box->windowTitle();
        seen.Text = box->text();
        for (QAbstractButton* b : box->buttons())
            seen.Buttons << b->text();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == press)
                b->click();
    });
}

} // namespace

class TestMessageBoxes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Parlotel"));
        SetMessageSink(&m_sink);
    }
    void cleanupTestCase() { SetMessageSink(nullptr); }
    void cleanup()
    {
        SetApplicationTerminating(false);
        const QStringList problems = CloseLeftoverModals();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    void errorAndWarningFromAWorker()
    {
        TBoxSeen error, warning;
        answerBox(error, QStringLiteral("OK"));
        answerBox(warning, QStringLiteral("OK"));
        // As a job raises them: the worker waits in each box while the main
        // thread goes on with its own loop.
        std::atomic<bool> done{false};
        std::thread worker([&] {
            ErrorBox(QStringLiteral("Device does not respond (no echo)"));
            WarningBox(QStringLiteral("Неверный пароль! Повторите ввод."));
            done = true;
            spWakeMainThread();
        });
        const bool answered = WaitModalsAnswered();
        const bool finished = spProcessMessagesUntil([&] { return done.load(); }, 20000);
        worker.join();
        QVERIFY(answered);
        QVERIFY(finished);
        QCOMPARE(error.Icon, QMessageBox::Critical);
        QCOMPARE(error.Title, QStringLiteral("Parlotel"));
        QCOMPARE(error.Text, QStringLiteral("Device does not respond (no echo)"));
        QCOMPARE(error.Buttons, QStringList{QStringLiteral("OK")});
        QCOMPARE(warning.Icon, QMessageBox::Warning);
        QCOMPARE(warning.Text, QStringLiteral("Неверный пароль! Повторите ввод."));
    }

    void confirmationsReportTheButtonPressed()
    {
        TBoxSeen okCancel, yesNo, declined;
        answerBox(okCancel, QStringLiteral("OK"));
        answerBox(yesNo, QStringLiteral("Нет"));
        answerBox(declined, QStringLiteral("Отмена"));
        bool answers[3] = {};
        QVERIFY(runOnWorker([&] {
            answers[0] = ConfirmBox(QStringLiteral("Удалить?"));
            answers[1] = ConfirmBox(QStringLiteral("Заменить?"), TConfirmButtons::YesNo);
            answers[2] = ConfirmBox(QStringLiteral("Удалить?"));
        }));
        QCOMPARE(okCancel.Icon, QMessageBox::Question);
        QCOMPARE(okCancel.Buttons, QStringList({QStringLiteral("OK"), QStringLiteral("Отмена")}));
        QCOMPARE(yesNo.Buttons, QStringList({QStringLiteral("Да"), QStringLiteral("Нет")}));
        QVERIFY(answers[0]);
        QVERIFY(!answers[1]);
        QVERIFY(!answers[2]);
    }

    void passwordPromptAnswers()
    {
        m_sink.PasswordHint = QStringLiteral("Пароли: 1111, 2222");
        AnswerNextModal<TFormPassword>([](TFormPassword* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Введите пароль"));
            QCOMPARE(d->Edit1->echoMode(), QLineEdit::Password);
            QVERIFY(d->lblHint->isVisible());
            QCOMPARE(d->lblHint->text(), QStringLiteral("Пароли: 1111, 2222"));
            QTest::keyClicks(d->Edit1, QStringLiteral("secret1"));
            QTest::keyClick(d->Edit1, Qt::Key_Return);
        });
        AnswerNextModal<TFormPassword>([](TFormPassword* d) { d->btnOK->click(); });
        AnswerNextModal<TFormPassword>([](TFormPassword* d) {
            QTest::keyClicks(d->Edit1, QStringLiteral("x"));
            QTest::keyClick(d->Edit1, Qt::Key_Escape);
        });
        QString passwords[3];
        TPasswordAnswer answers[3] = {};
        QVERIFY(runOnWorker([&] {
            for (int i = 0; i < 3; ++i)
                answers[i] = PasswordBox(passwords[i]);
        }));
        QCOMPARE(answers[0], TPasswordAnswer::Entered);
        QCOMPARE(passwords[0], QStringLiteral("secret1"));
        QCOMPARE(answers[1], TPasswordAnswer::Untouched);
        QCOMPARE(answers[2], TPasswordAnswer::Cancelled);
        QCOMPARE(passwords[2], QString());
        m_sink.PasswordHint.clear();
    }

    void passwordHintHiddenWhenEmpty()
    {
        TFormPassword d;
        d.SetHint(QStringLiteral("x"));
        d.SetHint(QString());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!d.lblHint->isVisible());
        QVERIFY(!d.EditChanged());
    }

    void nothingModalWhileTerminating()
    {
        SetApplicationTerminating(true);
        bool shown = false;
        AnswerNextModal<QDialog>([&](QDialog* d) {
            shown = true;
            d->reject();
        });
        QString password;
        bool confirmed = true;
        TPasswordAnswer answer = TPasswordAnswer::Entered;
        QVERIFY(runOnWorker([&] {
            ErrorBox(QStringLiteral("AAMenu: invalid action:7"));
            confirmed = ConfirmBox(QStringLiteral("Удалить?"));
            answer = PasswordBox(password);
        }));
        QVERIFY(!shown);
        QVERIFY(!confirmed);
        QCOMPARE(answer, TPasswordAnswer::Cancelled);
        QCOMPARE(CloseLeftoverModals(), QStringList{QStringLiteral("never shown: QDialog")});
    }

    // A window test clicks a button in a dialog and the handler raises a box:
    // the box opens inside the first answer and must be answered in turn.
    void driverAnswersAModalOpenedByAnAnswer()
    {
        TBoxSeen nested;
        AnswerNextModal<TFormPassword>([](TFormPassword* d) {
            ErrorBox(QStringLiteral("Неверный пароль! Повторите ввод."));
            d->reject();
        });
        answerBox(nested, QStringLiteral("OK"));
        TFormPassword dialog;
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(nested.Text, QStringLiteral("Неверный пароль! Повторите ввод."));
    }

    void driverClosesAModalNobodyAnswers()
    {
        SetUnansweredModalGraceMs(200);
        QVERIFY(runOnWorker([] { ErrorBox(QStringLiteral("nobody reads this")); }));
        const QStringList problems = CloseLeftoverModals();
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems[0].startsWith(QStringLiteral("unanswered, closed: QMessageBox")));
        SetUnansweredModalGraceMs(10000);
    }

private:
    TWindowMessageSink m_sink;
};

QTEST_MAIN(TestMessageBoxes)
#include "test_messageboxes.moc"
