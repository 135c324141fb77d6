// The value dialogs as their callers use them: filters on typed and pasted
// text, limits, the flags the callers rely on to write nothing when nothing
// was changed, and the results read after exec().
#include "GuiTestSupport.h"
#include "ui/Choice.h"
#include "ui/Code.h"
#include "ui/Directory.h"
#include "ui/List2.h"
#include "ui/MailAdd.h"
#include "ui/MenuItm.h"
#include "ui/Number.h"
#include "ui/RadioGroup.h"
#include "ui/Time.h"
#include "ui/UpDown.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QtTest>

using namespace TestSupport;

namespace {

void paste(QLineEdit* edit, const QString& text)
{
    QApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

template <class D>
void showAndWait(D& dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
}

} // namespace

class TestEditDialogs : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        const QStringList problems = CloseLeftoverModals();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    void centredOnTheMainWindowWithFixedButtons()
    {
        QMainWindow window;
        window.setGeometry(40, 60, 600, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TFormNumber d;
        QCOMPARE(d.parentWidget(), &window);
        QCOMPARE(d.btnOK->text(), QStringLiteral("OK"));
        QCOMPARE(d.btnCancel->text(), QStringLiteral("Отмена"));
        QVERIFY(d.btnOK->isDefault());
        AnswerNextModal<TFormNumber>([&](TFormNumber* shown) {
            const QPoint offset = shown->geometry().center() - window.geometry().center();
            QVERIFY2(offset.manhattanLength() < 40, qPrintable(QStringLiteral("off by %1,%2").arg(offset.x()).arg(offset.y())));
            QTest::keyClick(shown, Qt::Key_Escape);
        });
        QCOMPARE(d.exec(), int(QDialog::Rejected));
    }

    void directoryStarOnlyWhereAllowedHashNever_data()
    {
        QTest::addColumn<bool>("allowStar");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("afterPaste");
        QTest::newRow("system password") << false << "12" << "1245";
        QTest::newRow("busy number") << true << "1*2" << "1*24*5";
    }
    void directoryStarOnlyWhereAllowedHashNever()
    {
        QFETCH(bool, allowStar);
        QFETCH(QString, typed);
        QFETCH(QString, afterPaste);
        TFormDirectory d;
        d.AllowStar = allowStar;
        showAndWait(d);
        QTest::keyClicks(d.Edit1, QStringLiteral("1*#a 2#"));
        QCOMPARE(d.Edit1->text(), typed);
        QVERIFY(d.Edit1->isUndoAvailable()); // refused keys leave the history alone
        paste(d.Edit1, QStringLiteral("#4*x5"));
        QCOMPARE(d.Edit1->text(), afterPaste);
        QCOMPARE(d.Edit1->cursorPosition(), afterPaste.size());
        QVERIFY(d.Modified);
    }

    void directoryModifiedOnlyByRealEdits()
    {
        TFormDirectory d;
        d.Edit1->setText(QStringLiteral("105"));
        showAndWait(d);
        QVERIFY(!d.Modified);
        // Refused characters, typed or pasted, leave the edit untouched.
        QTest::keyClicks(d.Edit1, QStringLiteral("#*"));
        paste(d.Edit1, QStringLiteral("#"));
        QCOMPARE(d.Edit1->text(), QStringLiteral("105"));
        QVERIFY(!d.Modified);
        QTest::keyClick(d.Edit1, Qt::Key_Backspace);
        QCOMPARE(d.Edit1->text(), QStringLiteral("10"));
        QVERIFY(d.Modified);
        // A new value set by the program starts unmodified again.
        d.Edit1->setText(QStringLiteral("7"));
        QVERIFY(!d.Modified);
    }

    void directoryMaxLengthAndExecResult()
    {
        TFormDirectory d;
        d.Edit1->setMaxLength(4);
        d.Edit1->setText(QStringLiteral("12"));
        AnswerNextModal<TFormDirectory>([](TFormDirectory* shown) {
            QTest::keyClicks(shown->Edit1, QStringLiteral("3456"));
            QTest::keyClick(shown->Edit1, Qt::Key_Return);
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QCOMPARE(d.Edit1->text(), QStringLiteral("1234"));
        QVERIFY(d.Modified);

        AnswerNextModal<TFormDirectory>([](TFormDirectory* shown) {
            QTest::keyClick(shown->Edit1, Qt::Key_Escape);
        });
        QCOMPARE(d.exec(), int(QDialog::Rejected));
    }

    void choiceShowsEveryItemAndFitsTheLongest()
    {
        TFormChoice d;
        const QString longItem = QStringLiteral("Воспроизведение сообщения и перевод на оператора после ответа");
        d.RadioGroup1->SetItems({QStringLiteral("Нет"), QStringLiteral("Да"), longItem});
        d.RadioGroup1->SetItemIndex(1);
        AnswerNextModal<TFormChoice>([&](TFormChoice* shown) {
            QVERIFY(shown->width() >= shown->RadioGroup1->Button(2)->sizeHint().width());
            QVERIFY(shown->RadioGroup1->Button(2)->isVisible());
            ClickIndicator(shown->RadioGroup1->Button(2));
            shown->btnOK->click();
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QCOMPARE(d.RadioGroup1->Items().size(), 3);
        QCOMPARE(d.RadioGroup1->ItemIndex(), 2);
        QCOMPARE(d.size(), d.minimumSize()); // fixed size
        QCOMPARE(d.size(), d.maximumSize());
    }

    void numberKeepsTheCallersLimits()
    {
        TFormNumber d;
        d.UpDown1->setRange(-5, 20);
        d.UpDown1->setValue(7);
        AnswerNextModal<TFormNumber>([](TFormNumber* shown) {
            shown->Edit1->selectAll();
            QTest::keyClicks(shown->Edit1, QStringLiteral("99"));
            QVERIFY(shown->UpDown1->value() <= 20);
            shown->Edit1->selectAll();
            QTest::keyClicks(shown->Edit1, QStringLiteral("-3"));
            QTest::keyClick(shown->Edit1, Qt::Key_Return);
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QCOMPARE(d.UpDown1->value(), -3);
        // The edit and the up-down are one: writing the edit moves the position.
        d.Edit1->setText(QStringLiteral("12"));
        QCOMPARE(d.UpDown1->value(), 12);
    }

    void timeChangedOnlyByTheUser()
    {
        TFormTime d;
        d.DateTimePicker1->setTime(QTime(8, 30));
        AnswerNextModal<TFormTime>([](TFormTime* shown) { shown->btnOK->click(); });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QVERIFY(!d.Changed);

        AnswerNextModal<TFormTime>([](TFormTime* shown) {
            shown->DateTimePicker1->setCurrentSection(QDateTimeEdit::MinuteSection);
            QTest::keyClick(shown->DateTimePicker1, Qt::Key_Up);
            shown->btnOK->click();
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QVERIFY(d.Changed);
        QCOMPARE(d.DateTimePicker1->time(), QTime(8, 31));
    }

    void codeChangedOnlyWhenAnotherCodeIsChosen()
    {
        TFormCode d;
        QCOMPARE(d.RadioButton[0]->text(), QStringLiteral("Не назначен"));
        QCOMPARE(d.RadioButton[9]->text(), QStringLiteral("9"));
        QCOMPARE(d.RadioButton[10]->text(), QStringLiteral("0"));
        d.SetCode(3);
        showAndWait(d);
        QVERIFY(d.RadioButton[3]->isChecked());
        QVERIFY(!d.Changed);
        ClickIndicator(d.RadioButton[3]);
        QVERIFY(!d.Changed);
        ClickIndicator(d.RadioButton[10]);
        QVERIFY(d.Changed);
        QCOMPARE(d.ChosenCode, 10);
        ClickIndicator(d.RadioButton[3]);
        QVERIFY(!d.Changed);

        TFormCode unknown;
        unknown.SetCode(11);
        for (QRadioButton* rb : unknown.RadioButton)
            QVERIFY(!rb->isChecked());
        QVERIFY(!unknown.Changed);
    }

    void list2NeedsBothEndsEdited()
    {
        TFormList2 d;
        showAndWait(d);
        QTest::keyClicks(d.Edit1, QStringLiteral("100"));
        QVERIFY(!d.BothModified);
        d.Edit2->setText(QStringLiteral("199")); // the program's text is no edit
        QVERIFY(!d.BothModified);
        QTest::keyClicks(d.Edit2, QStringLiteral("9"));
        QVERIFY(d.BothModified);
    }

    void mailAddDefaultsLimitsAndPeriod()
    {
        TFormMailAdd d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Создание ящика"));
        QCOMPARE(d.edtOwner->text(), QString());
        QCOMPARE(d.udSize->value(), 15);
        QCOMPARE(d.udAnnPeriod->value(), 30);
        QCOMPARE(d.rgAnnMode->ItemIndex(), 0);
        QVERIFY(!d.udAnnPeriod->isEnabled());

        d.udSize->setValue(500);
        QCOMPARE(d.udSize->value(), 120);
        d.udSize->setValue(0);
        QCOMPARE(d.udSize->value(), 1);
        d.udAnnPeriod->setValue(100);
        QCOMPARE(d.udAnnPeriod->value(), 99);

        // Only a call or a message repeat the notification; also when the
        // caller presets the mode of a mailbox being edited.
        const bool periodUsed[] = {false, false, true, true};
        for (int mode = 3; mode >= 0; --mode) {
            d.rgAnnMode->SetItemIndex(mode);
            QCOMPARE(d.udAnnPeriod->isEnabled(), periodUsed[mode]);
            QCOMPARE(d.edtAnnPeriod->isEnabled(), periodUsed[mode]);
        }
        showAndWait(d);
        ClickIndicator(d.rgAnnMode->Button(2));
        QVERIFY(d.udAnnPeriod->isEnabled());
        d.edtSize->selectAll();
        QTest::keyClicks(d.edtSize, QStringLiteral("130"));
        QVERIFY(d.udSize->value() <= 120);
    }

    void mailAddShrinksWhenTheCallerHidesTheNotification()
    {
        TFormMailAdd d;
        showAndWait(d);
        const int fullHeight = d.height();
        d.hide();
        d.HideAnnouncement();
        showAndWait(d);
        QVERIFY(!d.rgAnnMode->isVisible());
        QVERIFY(!d.edtAnnPeriod->isVisible());
        QVERIFY(!d.lblAnnPeriod->isVisible());
        QTRY_VERIFY(d.height() < fullHeight);
    }

    void menuItemChoiceEnablesItsField()
    {
        TFormMenuItm d;
        showAndWait(d);
        QVERIFY(d.rbNone->isChecked());
        QVERIFY(!d.udMenu->isEnabled());
        QVERIFY(!d.edtExt->isEnabled());
        ClickIndicator(d.rbMenu);
        QVERIFY(d.udMenu->isEnabled());
        QVERIFY(!d.edtExt->isEnabled());
        for (QRadioButton* rb : {d.rbXfer, d.rbMsgLeave, d.rbMsgGet}) {
            ClickIndicator(d.rbNone);
            ClickIndicator(rb);
            QVERIFY(!d.udMenu->isEnabled());
            QVERIFY(d.edtExt->isEnabled());
        }
        d.udMenu->setValue(25);
        QCOMPARE(d.udMenu->value(), 19);
    }

    void menuItemExtensionHoldsEightDigits()
    {
        TFormMenuItm d;
        d.rbXfer->setChecked(true);
        showAndWait(d);
        QTest::keyClicks(d.edtExt, QStringLiteral("12a34*567#89"));
        QCOMPARE(d.edtExt->text(), QStringLiteral("12345678"));
        QTest::keyClick(d.edtExt, Qt::Key_Backspace);
        QCOMPARE(d.edtExt->text(), QStringLiteral("1234567"));
        // Typing over a selection replaces it even at the limit.
        QTest::keyClicks(d.edtExt, QStringLiteral("0"));
        d.edtExt->selectAll();
        QTest::keyClicks(d.edtExt, QStringLiteral("5"));
        QCOMPARE(d.edtExt->text(), QStringLiteral("5"));
        paste(d.edtExt, QStringLiteral("2-3 4"));
        QCOMPARE(d.edtExt->text(), QStringLiteral("5234"));
        paste(d.edtExt, QStringLiteral("99999"));
        QCOMPARE(d.edtExt->text(), QStringLiteral("5234"));
        // A longer number preset by the program is kept, not cut.
        d.edtExt->setText(QStringLiteral("1234567890"));
        QTest::keyClicks(d.edtExt, QStringLiteral("1"));
        QCOMPARE(d.edtExt->text(), QStringLiteral("1234567890"));
    }

    void menuItemHiddenMailboxChoiceStaysChecked()
    {
        TFormMenuItm d;
        d.edtExt->setText(QStringLiteral("204"));
        d.rbMsgLeave->setChecked(true);
        d.HideMailboxActions();
        AnswerNextModal<TFormMenuItm>([](TFormMenuItm* shown) {
            QVERIFY(!shown->rbMsgLeave->isVisible());
            QVERIFY(!shown->rbMsgGet->isVisible());
            QVERIFY(shown->rbXfer->isVisible());
            QVERIFY(shown->edtExt->isEnabled());
            shown->btnOK->click();
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QVERIFY(d.rbMsgLeave->isChecked());
        QCOMPARE(d.edtExt->text(), QStringLiteral("204"));

        AnswerNextModal<TFormMenuItm>([](TFormMenuItm* shown) {
            ClickIndicator(shown->rbXfer);
            shown->btnOK->click();
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QVERIFY(d.rbXfer->isChecked());
        QVERIFY(!d.rbMsgLeave->isChecked());
    }
};

QTEST_MAIN(TestEditDialogs)
#include "test_editdialogs.moc"
