// The pages of the real window against the emulated unit: what each page
// reads and when, the actions of every page with their dialogs, refusals and
// confirmations, the system-only actions refused to the administrator, and the
// voice-file flows up to their transfer hooks.
#include "GuiTestSupport.h"
#include "WindowRig.h"
#include "window/Unit1.h"
#include "session/AAMenu.h"
#include "settings/CheckJob.h"
#include "settings/MenuDlg.h"
#include "session/UnitDialog.h"
#include "ui/Choice.h"
#include "ui/Code.h"
#include "ui/Directory.h"
#include "ui/List2.h"
#include "ui/MailAdd.h"
#include "ui/MenuItm.h"
#include "ui/Number.h"
#include "ui/RadioGroup.h"
#include "ui/StringGrid.h"
#include "ui/Time.h"
#include "ui/UpDown.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringDecoder>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>

using namespace TestSupport;

namespace {

const QString Refusal = QStringLiteral("E: Операция возможна только в системном режиме.");

QStringList memoLines(const TForm1& window)
{
    return window.memNumbers->toPlainText().split(QLatin1Char('\n'));
}

// A unit whose extension list and mailbox table are full.
QString writeFullState(const QTemporaryDir& dir)
{
    QJsonArray extensions;
    for (int number = 1000; number < 1064; ++number)
        extensions.append(QString::number(number));
    QJsonArray boxes;
    for (int owner = 301; owner <= 315; ++owner)
        boxes.append(QJsonObject{{QStringLiteral("owner"), QString::number(owner)}, {QStringLiteral("seconds"), 60}});
    const QString path = dir.filePath(QStringLiteral("full.json"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("extensions"), extensions},
                                         {QStringLiteral("mailboxes"), boxes}})
                   .toJson());
    return path;
}

void typeNumber(TFormDirectory* d, const QString& text)
{
    QTest::keyClicks(d->Edit1, text);
    d->btnOK->click();
}

void typeRange(TFormList2* d, const QString& first, const QString& last)
{
    QTest::keyClicks(d->Edit1, first);
    QTest::keyClicks(d->Edit2, last);
    d->btnOK->click();
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(CloseLeftoverModals(), QStringList()); }

    // Each page reads the unit the first time it is shown after a connect,
    // the mailboxes every time; a second showing sends nothing.
    void pagesReadOnceMailboxesEveryTime()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(memoLines(w).contains(QStringLiteral("200-219")));
        QCOMPARE(w.edtOpCode->text(), QStringLiteral("0"));
        QCOMPARE(w.edtOpNumNight->text(), QStringLiteral("101"));
        QCOMPARE(w.edtAdmPwd->text(), QStringLiteral("1111"));

        const std::pair<QWidget*, std::function<bool()>> pages[] = {
            {w.tbsGreetings, [&] { return w.sgGreetings->Cells(1, 2) == QStringLiteral("night.pcm")
                                       && w.sgGreetings->Cells(2, 2) == QStringLiteral("L101"); }},
            {w.tbsTime, [&] { return w.sgTime->Cells(2, 5) == QStringLiteral("17:00") && !w.cbHoliday->isChecked(); }},
            {w.tbsMenu, [&] { return w.sgMenu->Cells(1, 1) == QStringLiteral("main_menu.pcm")
                                  && w.sgMenu->Cells(11, 1) == QStringLiteral("N100")
                                  && w.sgMenu->Cells(1, 20) == QStringLiteral("не назначен"); }},
            {w.tbsSysParams, [&] { return w.sgSysParams->Cells(2, 1) == QStringLiteral("1234")
                                       && w.sgSysParams->Cells(2, 38) == QStringLiteral("АРУ включено"); }},
            {w.tbsMessages, [&] { return w.sgGreetOverride->Cells(7, 1) == QStringLiteral("0 (Не заменять)")
                                      && w.sgGreetOverride->Cells(7, 5) == QStringLiteral("0")
                                      && w.sgMessages->Cells(2, 8) == QStringLiteral("00:04")
                                      && w.sgMessages->Cells(1, 14) == QStringLiteral("Не записано"); }},
        };
        for (const auto& [page, shows] : pages) {
            const int before = rig.Received();
            QVERIFY(rig.ShowPage(page));
            QVERIFY2(shows(), qPrintable(page->objectName()));
            QVERIFY(rig.Received() > before);
        }
        const int settled = rig.Received();
        for (const auto& [page, shows] : pages) {
            QVERIFY(rig.ShowPage(w.tbsNumbers));
            QVERIFY(rig.ShowPage(page));
        }
        QCOMPARE(rig.Received(), settled);

        for (int showing = 0; showing < 2; ++showing) {
            const int before = rig.Received();
            QVERIFY(rig.ShowPage(w.tbsMail));
            QVERIFY(rig.Received() > before);
            QCOMPARE(w.sgMail->Cells(0, 2), QStringLiteral("102"));
            QCOMPARE(w.edtFreeSpace->text(), QStringLiteral("35:00"));
            QVERIFY(rig.ShowPage(w.tbsNumbers));
        }
        QCOMPARE(rig.Sink.Log(), QStringList({"P"}));
    }

    // A dialog left without a change right after the session moved the unit
    // into its menu sends nothing; the unit stays at the prompt the session
    // read, so the next job, in another menu or the same, goes on without an
    // error and without logging in again.
    void dialogLeftRightAfterMenuChange()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        const auto leaveAfterMenuChange = [&](QPushButton* numbersButton, const auto& leave) {
            QVERIFY(rig.ShowPage(w.tbsMail));
            QCOMPARE(int(w.Session()->UnitMode), int(Unit::umMail));
            QVERIFY(rig.ShowPage(w.tbsNumbers));
            AnswerNextModal<TFormCode>(leave);
            numbersButton->click();
            QVERIFY(WaitModalsAnswered());
            QVERIFY(rig.Settle());
            QCOMPARE(int(w.Session()->UnitMode), int(Unit::umSys));
        };
        leaveAfterMenuChange(w.btnOpCode, [](TFormCode* d) { d->btnCancel->click(); });
        QVERIFY(rig.ShowPage(w.tbsMail));
        QCOMPARE(w.sgMail->Cells(0, 2), QStringLiteral("102"));
        QVERIFY2(rig.Sink.Log() == QStringList({"P"}), qPrintable(rig.Sink.Log().join(" | ")));

        // OK without a change is left the same way; then a job of the same menu.
        leaveAfterMenuChange(w.btnOpCode, [](TFormCode* d) { d->btnOK->click(); });
        AnswerNextModal<TFormCode>([](TFormCode* d) { d->btnCancel->click(); });
        w.btnOpCode->click();
        QVERIFY(WaitModalsAnswered());
        QVERIFY(rig.Settle());
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) {
            d->Edit1->clear();
            typeNumber(d, QStringLiteral("102"));
        });
        w.btnOpNumNight->click();
        QVERIFY(WaitModalsAnswered());
        QVERIFY(rig.Settle());
        QCOMPARE(w.edtOpNumNight->text(), QStringLiteral("102"));
        QVERIFY(rig.ShowPage(w.tbsMail));
        QCOMPARE(w.sgMail->Cells(0, 2), QStringLiteral("102"));
        QCOMPARE(rig.Sink.Log(), QStringList({"P"}));
        QCOMPARE(w.Session()->Level, uint8_t(TAAMenu::lvSystem));
    }

    void extensionListChanges()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) { typeNumber(d, QStringLiteral("300")); });
        w.btnAddNum->click();
        QVERIFY(rig.Settle());
        AnswerNextModal<TFormList2>([](TFormList2* d) { typeRange(d, QStringLiteral("400"), QStringLiteral("409")); });
        w.btnAddGroup->click();
        QVERIFY(rig.Settle());
        QCOMPARE(memoLines(w), QStringList({"100", "101", "102", "103", "200-219", "300", "400-409"}));

        // An entry that overlaps one the unit has is refused; the memo keeps the list.
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) { typeNumber(d, QStringLiteral("405")); });
        w.btnAddNum->click();
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Errors(), QStringList({"List (ADD): Reply: ERROR"}));

        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) { typeNumber(d, QStringLiteral("101")); });
        w.btnDelNum->click();
        QVERIFY(rig.Settle());
        AnswerNextModal<TFormList2>([](TFormList2* d) { typeRange(d, QStringLiteral("200"), QStringLiteral("219")); });
        w.btnDelGroup->click();
        QVERIFY(rig.Settle());
        QCOMPARE(memoLines(w), QStringList({"100", "102", "103", "300", "400-409"}));
    }

    void fullUnitRefusesNumbersAndMailboxes()
    {
        QTemporaryDir dir;
        TWindowRig rig({QStringLiteral("--state"), writeFullState(dir)});
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QCOMPARE(memoLines(w).size(), 64);
        AnswerNextModal<TFormDirectory>([](TFormDirectory* d) { typeNumber(d, QStringLiteral("5000")); });
        w.btnAddNum->click();
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Errors(), QStringList({"List (ADD): Reply: NO_FREE_MEM"}));
        QCOMPARE(memoLines(w).size(), 64);

        QVERIFY(rig.ShowPage(w.tbsMail));
        QCOMPARE(w.sgMail->RowCount(), 16);
        rig.Sink.Clear();
        AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
            QTest::keyClicks(d->edtOwner, QStringLiteral("399"));
            d->btnOK->click();
        });
        w.btnMailCreate->click(); // refused before the owner is sent
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Errors(), QStringList({"Число почтовых ящиков максимально"}));
    }

    void mailboxCreateEditDelete()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsMail));
        AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
            QTest::keyClicks(d->edtOwner, QStringLiteral("303"));
            d->udSize->setValue(5);
            d->btnOK->click();
        });
        w.btnMailCreate->click();
        QVERIFY(rig.Settle());
        QCOMPARE(w.sgMail->Cells(0, 3), QStringLiteral("303"));
        QCOMPARE(w.edtFreeSpace->text(), QStringLiteral("30:00"));

        // A double click on the mailbox's row edits it.
        AnswerNextModal<TFormMailAdd>([](TFormMailAdd* d) {
            QVERIFY(!d->edtOwner->isEnabled());
            QCOMPARE(d->edtOwner->text(), QStringLiteral("303"));
            d->udSize->setValue(12);
            d->btnOK->click();
        });
        TWindowRig::DoubleClick(w.sgMail, 1, 3);
        QVERIFY(rig.Settle());
        QCOMPARE(w.sgMail->Cells(1, 3), QStringLiteral("12:00"));

        rig.Sink.QueueConfirm(true);
        w.btnMailDelete->click();
        QVERIFY(rig.Settle());
        QCOMPARE(w.sgMail->RowCount(), 3);
        QCOMPARE(rig.Sink.Log(), QStringList({"P", "Q: Удалить ящик 303?"}));
    }

    void menuKeyBecomesTransfer()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsMenu));
        AnswerNextModal<TFormMenuItm>([](TFormMenuItm* d) {
            QVERIFY(d->rbNone->isChecked() && d->rbMsgLeave->isHidden());
            ClickIndicator(d->rbXfer);
            QTest::keyClicks(d->edtExt, QStringLiteral("101"));
            d->btnOK->click();
        });
        TWindowRig::DoubleClick(w.sgMenu, 2 + 3, 3); // menu 2, key 3
        QVERIFY(rig.Settle());
        QCOMPARE(w.sgMenu->Cells(5, 3), QStringLiteral("N101"));
        // Shown as read back: a fresh read of the menu gives the same.
        auto* job = static_cast<TMenuDlg*>(w.sgMenu->Objects(0, 3));
        job->Items[3] = "?";
        w.sgMenu->SetCells(5, 3, QString());
        job->State = TJoint1::Read;
        w.Session()->Submit(job);
        QVERIFY(rig.Settle());
        QCOMPARE(w.sgMenu->Cells(5, 3), QStringLiteral("N101"));

        // An action the dialog cannot show is reported, and the dialog still opens.
        job->Items[4] = "X7";
        AnswerNextModal<TFormMenuItm>([](TFormMenuItm* d) {
            QVERIFY(d->rbNone->isChecked());
            d->btnCancel->click();
        });
        TWindowRig::DoubleClick(w.sgMenu, 2 + 4, 3);
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Errors(), QStringList({"Wrong item information !"}));

        // Column 0 does nothing; deleting the main menu's recording asks first.
        const int before = rig.Received();
        TWindowRig::DoubleClick(w.sgMenu, 0, 1);
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Received(), before);
        rig.Sink.QueueConfirm(true);
        w.sgMenu->SetCurrent(7, 1);
        w.btnMenuDelete->click();
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Log().last(), QStringLiteral("Q: Удалить файл: main_menu.pcm из меню 0 ?"));
        QCOMPARE(w.sgMenu->Cells(1, 1), QStringLiteral("не назначен"));
    }

    // What a system session read is gone when an administrator logs in after it.
    void administratorDoesNotSeeAnEarlierSystemSession()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsSysParams));
        QVERIFY(rig.ShowPage(w.tbsMessages));
        QCOMPARE(w.sgSysParams->Cells(2, 1), QStringLiteral("1234"));
        QVERIFY(!w.sgMessages->Cells(1, 1).isEmpty());
        w.btnDisconnect->click();
        QVERIFY(rig.Settle());
        QVERIFY(rig.Connect(QStringLiteral("1111")));
        QVERIFY(rig.ShowPage(w.tbsSysParams));
        QVERIFY(rig.ShowPage(w.tbsMessages));
        for (TStringGrid* grid : {w.sgSysParams, w.sgGreetOverride, w.sgMessages})
            for (int row = 1; row < grid->RowCount(); ++row)
                QCOMPARE(grid->Cells(2, row), QString());
        QCOMPARE(w.sgMessages->Cells(1, 1), QString());
    }

    void administratorIsRefusedSystemActions()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1111")));
        TForm1& w = *rig.Window;
        const int before = rig.Received();
        QVERIFY(rig.ShowPage(w.tbsSysParams));
        QVERIFY(rig.ShowPage(w.tbsMessages));
        QCOMPARE(w.sgSysParams->Cells(2, 1), QString());
        QCOMPARE(w.sgMessages->Cells(1, 1), QString());

        TWindowRig::DoubleClick(w.sgSysParams, 2, 5);
        w.btnSysParams->click();
        TWindowRig::DoubleClick(w.sgMessages, 1, 1);
        w.btnMessageUpload->click();
        w.btnMessageDownload->click();
        w.btnMessageDelete->click();
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Received(), before);
        QCOMPARE(rig.Sink.Log(), QStringList({"P", Refusal, Refusal, Refusal, Refusal, Refusal, Refusal}));

        // The greeting override is handed to the unit, which refuses the administrator.
        AnswerNextModal<TFormChoice>([](TFormChoice* d) { d->btnOK->click(); });
        TWindowRig::DoubleClick(w.sgGreetOverride, 2, 1);
        QVERIFY(rig.Settle());
        QVERIFY(rig.Received() > before);
        QCOMPARE(rig.Sink.Errors().mid(6),
                 QStringList({"NumberSet: parameter (501): ERROR\r", "NumberGet: parameter (501): ERROR\r"}));
    }

    void scheduleAndHoliday()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsTime));
        AnswerNextModal<TFormTime>([](TFormTime* d) {
            d->DateTimePicker1->setTime(QTime(7, 45));
            d->btnOK->click();
        });
        TWindowRig::DoubleClick(w.sgTime, 1, 7); // Sunday's start
        QVERIFY(rig.Settle());
        QCOMPARE(w.sgTime->Cells(1, 7), QStringLiteral("07:45"));

        ClickIndicator(w.cbHoliday);
        QVERIFY(rig.Settle());
        QVERIFY(w.cbHoliday->isChecked());
        QCOMPARE(w.HolidayJob->Value, uint8_t(1));
        // Read back after a reconnect: the unit keeps it.
        w.btnDisconnect->click();
        QVERIFY(rig.Settle());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        QVERIFY(w.cbHoliday->isChecked());
        QCOMPARE(w.HolidayJob->GetText(), QStringLiteral("Установлен"));
        QCOMPARE(w.sgTime->Cells(1, 7), QStringLiteral("07:45"));
        QCOMPARE(rig.Sink.Errors(), QStringList());
    }

    // The keys' actions read whole on the greetings and menus at the window's
    // size: no key column is narrower than its longest cell with the room an
    // item view leaves around text.
    void keyActionsReadWhole()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        for (const auto& [page, shown] : {std::pair{w.tbsGreetings, w.sgGreetings}, std::pair{w.tbsMenu, w.sgMenu}}) {
            QVERIFY(rig.ShowPage(page));
            TStringGrid* grid = shown; // clang 14 lets no lambda take a structured binding
            // The style's text margin on either side, and the grid line.
            const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1)
                + (grid->showGrid() ? 1 : 0);
            const QFontMetrics metrics = grid->fontMetrics();
            QStringList cut;
            const auto readWhole = [&] {
                cut.clear();
                for (int col = 2; col < grid->ColCount(); ++col)
                    for (int row = 1; row < grid->RowCount(); ++row)
                        if (grid->columnWidth(col) < metrics.horizontalAdvance(grid->Cells(col, row)) + margins)
                            cut << grid->Cells(col, row);
                return cut.isEmpty();
            };
            if (!QTest::qWaitFor(readWhole, 5000))
                QFAIL(qPrintable(page->objectName() + QStringLiteral(" cuts ") + cut.join(u' ')));
        }
        QCOMPARE(w.sgGreetings->Cells(2, 2), QStringLiteral("L101"));
    }

    void greetingOverrideGrid()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsMessages));
        const int before = rig.Received();
        TWindowRig::DoubleClick(w.sgGreetOverride, 0, 1);
        TWindowRig::DoubleClick(w.sgGreetOverride, 1, 3);
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Received(), before);

        AnswerNextModal<TFormChoice>([](TFormChoice* d) {
            d->RadioGroup1->SetItemIndex(1);
            d->btnOK->click();
        });
        TWindowRig::DoubleClick(w.sgGreetOverride, 3, 1); // line 2
        QVERIFY(rig.Settle());
        AnswerNextModal<TFormNumber>([](TFormNumber* d) {
            d->UpDown1->setValue(7);
            d->btnOK->click();
        });
        w.sgGreetOverride->SetCurrent(3, 2);
        w.btnGreetOverride->click();
        QVERIFY(rig.Settle());
        QCOMPARE(w.sgGreetOverride->Cells(3, 1), QStringLiteral("1 (Только приветствия)"));
        QCOMPARE(w.sgGreetOverride->Cells(3, 2), QStringLiteral("7"));

        const QString text = QStringDecoder("windows-1251").decode(w.SettingsText());
        QVERIFY(text.contains(QStringLiteral("Линия 1: \r\nНе заменять\r\nЛиния 2: \r\n"
                                             "1 (Только приветствия), День: 7, Ночь: 0, Праздник: 0, Перевод: 0\r\n")));
        QCOMPARE(rig.Sink.Errors(), QStringList());
    }

    void serviceMessageClear()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QVERIFY(rig.ShowPage(w.tbsMessages));
        w.sgMessages->SetCurrent(1, 3); // nothing recorded: nothing asked
        w.btnMessageDelete->click();
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Log(), QStringList({"P"}));

        rig.Sink.QueueConfirm(false);
        w.sgMessages->SetCurrent(1, 1);
        w.btnMessageDelete->click();
        QVERIFY(rig.Settle());
        QCOMPARE(w.sgMessages->Cells(1, 1), QStringLiteral("wait.pcm"));
        rig.Sink.QueueConfirm(true);
        w.btnMessageDelete->click();
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Sink.Log(), QStringList({"P", "Q: Удалить файл: wait.pcm", "Q: Удалить файл: wait.pcm"}));
        QCOMPARE(w.sgMessages->Cells(1, 1), QStringLiteral("Не записано"));
        QCOMPARE(w.sgMessages->Cells(2, 1), QString());
    }

    // The flows end in the transfer hooks with the job and the file chosen.
    void voiceFileFlowsReachTheirHooks()
    {
        TWindowRig rig;
        QVERIFY(rig.Started());
        QVERIFY(rig.Connect(QStringLiteral("1234")));
        TForm1& w = *rig.Window;
        QTemporaryDir dir;
        const QString local = dir.filePath(QStringLiteral("hello.pcm"));
        QFile(local).open(QIODevice::WriteOnly);
        std::vector<std::pair<TFile*, QString>> transfers;
        w.UploadTransfer = [&](TFile* job, const QString& file) { transfers.emplace_back(job, file); };
        w.DownloadTransfer = [&](TFile* job, const QString& target) { transfers.emplace_back(job, target); };
        const auto choose = &TWindowRig::ChooseFile;

        QVERIFY(rig.ShowPage(w.tbsGreetings));
        choose(local);
        TWindowRig::DoubleClick(w.sgGreetings, 1, 3); // nothing recorded: upload still offered
        QVERIFY(WaitModalsAnswered());
        QCOMPARE(transfers.size(), size_t(1));
        QCOMPARE(transfers.back(), std::make_pair(static_cast<TFile*>(w.sgGreetings->Objects(0, 3)), local));

        w.sgGreetings->SetCurrent(4, 3); // no file on the unit: nothing to download
        w.btnGreetDownload->click();
        QCOMPARE(transfers.size(), size_t(1));

        QString preset;
        AnswerNextModal<QFileDialog>([&](QFileDialog* d) {
            preset = d->selectedFiles().value(0).section(QLatin1Char('/'), -1);
            static_cast<QDialog*>(d)->done(QDialog::Accepted);
        });
        w.sgGreetings->SetCurrent(0, 1);
        w.btnGreetDownload->click();
        QVERIFY(WaitModalsAnswered());
        QCOMPARE(preset, QStringLiteral("day.pcm"));
        QCOMPARE(QFileInfo(transfers.back().second).fileName(), QStringLiteral("day.pcm"));

        QVERIFY(rig.ShowPage(w.tbsMessages));
        choose(local);
        w.sgMessages->SetCurrent(1, 2);
        w.btnMessageUpload->click();
        QVERIFY(WaitModalsAnswered());
        QCOMPARE(transfers.back(), std::make_pair(static_cast<TFile*>(w.sgMessages->Objects(1, 2)), local));

        choose(QString());
        w.btnMenuUpload->click(); // no current menu row yet: nothing
        w.sgMenu->SetCurrent(1, 1);
        w.btnMenuUpload->click();
        QVERIFY(WaitModalsAnswered());
        QCOMPARE(transfers.size(), size_t(3));
    }
};

QTEST_MAIN(TestPages)
#include "test_pages.moc"
