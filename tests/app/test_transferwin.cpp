// Voice recordings moved through the real window and its transfer window
// against the emulated unit (lrzsz on its side): uploads to a greeting, a menu
// and a service message read back, downloads byte for byte, a download onto an
// existing file, cancelling in both directions, the unit's error report (after
// a download that arrived whole: saved, and said so), a refused request and a
// file that cannot be sent.
#include "GuiTestSupport.h"
#include "TestFiles.h"
#include "WindowRig.h"
#include "window/Unit1.h"
#include "settings/MenuDlg.h"
#include "ui/StringGrid.h"
#include "ui/YModemU.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

constexpr int BytesPerSecond = 8000;
constexpr int MenuZeroSize = 5 * BytesPerSecond; // the unit's factory recording "main_menu.pcm"

void choose(const QString& path)
{
    AnswerNextModal<QFileDialog>([path](QFileDialog* d) {
        // The dialog leaves a file name edit that has the focus as the user typed it.
        if (QWidget* focus = d->focusWidget())
            focus->clearFocus();
        d->selectFile(path);
        static_cast<QDialog*>(d)->accept();
    });
}

// The save dialog's question before it replaces a file.
void answerReplace()
{
    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
}

// Folders the transfer window made for downloads and has not removed.
QStringList receiveFolders()
{
    return QDir(QDir::tempPath())
        .entryList({QCoreApplication::applicationName() + QStringLiteral("-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
}

// The places a recording can go, each with its page and buttons.
struct TPlace {
    const char* Name;
    QWidget* TForm1::*Page;
    TStringGrid* TForm1::*Grid;
    int Col; // the job's column
    int Row;
    QPushButton* TForm1::*Upload;
    QPushButton* TForm1::*Download;
};

const TPlace Places[] = {
    {"holiday greeting", &TForm1::tbsGreetings, &TForm1::sgGreetings, 0, 3, &TForm1::btnGreetUpload,
     &TForm1::btnGreetDownload},
    {"menu 5", &TForm1::tbsMenu, &TForm1::sgMenu, 0, 6, &TForm1::btnMenuUpload, &TForm1::btnMenuDownload},
    {"service message 63", &TForm1::tbsMessages, &TForm1::sgMessages, 1, 4, &TForm1::btnMessageUpload,
     &TForm1::btnMessageDownload},
};

// Unique names for the test's own folders, apart from the window's.
QString ownTemplate()
{
    return QDir::tempPath() + QStringLiteral("/transferwin-test-XXXXXX");
}

} // namespace

class TestTransferWin : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TWindowRig> rig;
    std::unique_ptr<QTemporaryDir> dir;
    QTemporaryDir privateTemp;
    QStringList foldersBefore;

    TForm1& w() { return *rig->Window; }

    void start(const QStringList& unitArgs = {})
    {
        rig = std::make_unique<TWindowRig>(unitArgs);
        QVERIFY(rig->Started());
        QVERIFY(rig->Connect(QStringLiteral("1234")));
        rig->Sink.Clear();
    }

    // Makes the row current on the place's grid; the job behind it.
    TFile* jobAt(const TPlace& place, int row)
    {
        TStringGrid* grid = w().*place.Grid;
        grid->SetCurrent(place.Col, row);
        return static_cast<TFile*>(grid->Objects(place.Col, row));
    }

    // Clicks a button that runs the transfer window, and waits for the unit's report.
    void runTransfer(QPushButton* button)
    {
        button->click(); // returns once the transfer window has closed
        QVERIFY(WaitModalsAnswered());
        QVERIFY(rig->Settle());
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>(ownTemplate());
        QVERIFY(dir->isValid());
        SetUnansweredModalGraceMs(10000);
    }

    void cleanup()
    {
        const QStringList problems = CloseLeftoverModals();
        rig.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
        // Nothing received is ever left behind, whatever the test did.
        QCOMPARE(receiveFolders(), foldersBefore);
    }

    // A temporary folder of the test's own: another run beside this one
    // (another build's) makes and removes receive folders of the same names.
    void initTestCase()
    {
        QVERIFY(privateTemp.isValid());
        qputenv("TMPDIR", privateTemp.path().toLocal8Bit());
        foldersBefore = receiveFolders();
    }

    void uploadReadsBackAndDownloadsTheSameBytes_data()
    {
        QTest::addColumn<int>("place");
        for (int i = 0; i < int(std::size(Places)); ++i)
            QTest::newRow(Places[i].Name) << i;
    }

    void uploadReadsBackAndDownloadsTheSameBytes()
    {
        QFETCH(int, place);
        const TPlace& p = Places[place];
        start();
        const QByteArray sound = SoundBytes(12 * BytesPerSecond + 517, quint32(place) + 1);
        const QString local = dir->filePath(QStringLiteral("new_%1.pcm").arg(place));
        QVERIFY(WriteTestFile(local, sound));

        QVERIFY(rig->ShowPage(w().*p.Page));
        TFile* job = jobAt(p, p.Row);
        QVERIFY(job);
        choose(local);
        runTransfer(w().*p.Upload);
        QCOMPARE(rig->Sink.Log(), QStringList());
        QCOMPARE(job->FileName, QFileInfo(local).fileName());
        QCOMPARE(job->Length, sound.size());
        TStringGrid* grid = w().*p.Grid;
        QCOMPARE(grid->Cells(1, p.Row), QFileInfo(local).fileName());
        if (grid == w().sgMessages) {
            QCOMPARE(grid->Cells(2, p.Row), QStringLiteral("00:12"));
            QCOMPARE(grid->Cells(3, p.Row), QString::number(sound.size()));
        }

        const QString back = dir->filePath(QStringLiteral("back.pcm"));
        choose(back);
        runTransfer(w().*p.Download);
        QCOMPARE(rig->Sink.Log(), QStringList());
        QCOMPARE(ReadTestFile(back), sound);
        QCOMPARE(ReadTestFile(local), sound);
    }

    void downloadReplacesAnExistingFileAndNothingRecordedDoesNothing()
    {
        start();
        const QString target = dir->filePath(QStringLiteral("main_menu.pcm"));
        QVERIFY(WriteTestFile(target, "old contents"));
        QVERIFY(rig->ShowPage(w().tbsMenu));
        TFile* job = jobAt(Places[1], 1); // menu 0 holds the factory recording
        QCOMPARE(job->FileName, QStringLiteral("main_menu.pcm"));
        choose(target);
        answerReplace();
        runTransfer(w().btnMenuDownload);
        QCOMPARE(rig->Sink.Log(), QStringList());
        QCOMPARE(ReadTestFile(target).size(), MenuZeroSize);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("main_menu.pcm")});

        // Menu 5 has no recording: no dialog, nothing said to the unit.
        jobAt(Places[1], 6);
        const int received = rig->Received();
        w().btnMenuDownload->click();
        QVERIFY(rig->Settle());
        QCOMPARE(rig->Received(), received);
        QCOMPARE(rig->Sink.Log(), QStringList());
    }

    // Paced, so that the transfer is still running when the user answers.
    void cancelAnsweredNoGoesOnAndYesStops_data()
    {
        QTest::addColumn<bool>("download");
        QTest::newRow("download") << true;
        QTest::newRow("upload") << false;
    }

    void cancelAnsweredNoGoesOnAndYesStops()
    {
        QFETCH(bool, download);
        SetUnansweredModalGraceMs(60000);
        start({QStringLiteral("--baud"), QStringLiteral("19200")});
        const QByteArray old = "the user's own file";
        const QString local = dir->filePath(download ? QStringLiteral("main_menu.pcm") : QStringLiteral("long.pcm"));
        QVERIFY(WriteTestFile(local, download ? old : SoundBytes(40000, 7)));
        QVERIFY(rig->ShowPage(w().tbsMenu));
        TFile* job = jobAt(Places[1], 1);

        QStringList seen;
        AnswerNextModal<TFormYMU>([&](TFormYMU* window) {
            // The user clicks between packets, from the window's own loop.
            connect(window->Edit1, &QLineEdit::textChanged, window, [&, window](const QString& packet) {
                if (packet != QLatin1String("1") && packet != QLatin1String("3"))
                    return;
                QTimer::singleShot(0, window, [&, window, packet] {
                    seen << packet + (window->SpYModem1.InProgress() ? QStringLiteral(" running") : QString());
                    rig->Sink.QueueConfirm(packet == QLatin1String("3"));
                    window->Button1->click();
                    seen << (window->isVisible() ? QStringLiteral("open") : QStringLiteral("closed"));
                });
            });
        });
        choose(local);
        if (download)
            answerReplace();
        runTransfer(download ? w().btnMenuDownload : w().btnMenuUpload);

        QCOMPARE(seen, QStringList({"1 running", "open", "3 running", "open"}));
        const QStringList log = rig->Sink.Log();
        QCOMPARE(log.mid(0, 2), QStringList({"Q: Хотите прервать передачу ?", "Q: Хотите прервать передачу ?"}));
        // The unit's own account of the broken transfer, and nothing else.
        QVERIFY2(log.size() == 3, qPrintable(log.join("|")));
        QCOMPARE(log.size(), 3);
        QVERIFY2(log[2].startsWith(QLatin1String("E: YMODEM: error ")), qPrintable(log[2]));
        // The unit keeps its recording, the computer its file, and no part is left anywhere.
        QCOMPARE(job->FileName, QStringLiteral("main_menu.pcm"));
        QCOMPARE(job->Length, MenuZeroSize);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{QFileInfo(local).fileName()});
        if (download)
            QCOMPARE(ReadTestFile(local), old);
    }

    void unitErrorIsReported_data()
    {
        QTest::addColumn<bool>("download");
        QTest::newRow("upload: the unit keeps its recording") << false;
        QTest::newRow("download: the whole file is saved all the same") << true;
    }

    void unitErrorIsReported()
    {
        QFETCH(bool, download);
        start();
        QCOMPARE(rig->Unit->Control("fault ymodem 3"), QByteArray("ok fault ymodem 3"));
        const QString local = dir->filePath(QStringLiteral("busy.pcm"));
        QVERIFY(WriteTestFile(local, SoundBytes(3000, 3)));
        QVERIFY(rig->ShowPage(w().tbsMessages));
        TFile* job = jobAt(Places[2], 2); // 61 holds the factory "op_busy.pcm", 2 s
        const QString before = job->FileName;
        QVERIFY(!before.isEmpty());
        choose(local);
        if (download)
            answerReplace();
        runTransfer(download ? w().btnMessageDownload : w().btnMessageUpload);
        QStringList said{QStringLiteral("E: YMODEM: error 3")};
        if (download)
            said << QStringLiteral("W: Файл принят целиком и сохранен: ") + local;
        QCOMPARE(rig->Sink.Log(), said);
        QCOMPARE(job->FileName, before);
        QCOMPARE(w().sgMessages->Cells(1, 2), before);
        if (download)
            QCOMPARE(ReadTestFile(local).size(), 2 * BytesPerSecond);
    }

    void refusedRequestLeavesTheWindowOpenUntilCancel()
    {
        start();
        const QString local = dir->filePath(QStringLiteral("x.pcm"));
        QVERIFY(WriteTestFile(local, SoundBytes(100, 4)));
        QVERIFY(rig->ShowPage(w().tbsMenu));
        jobAt(Places[1], 6);
        QCOMPARE(rig->Unit->Control("fault silent on"), QByteArray("ok fault silent on"));
        bool closedAtOnce = false;
        QString fields;
        AnswerNextModal<TFormYMU>([&](TFormYMU* window) {
            QVERIFY(w().Server()->WaitIdle(20000)); // the job has given up
            fields = window->Label1->text() + window->Edit1->text() + window->Edit2->text() + window->Edit3->text();
            QVERIFY(window->isVisible());
            window->Button1->click();
            closedAtOnce = !window->isVisible();
        });
        choose(local);
        runTransfer(w().btnMenuUpload);
        QVERIFY(closedAtOnce);
        QCOMPARE(fields, QString());
        QCOMPARE(rig->Sink.Log(), QStringList{QStringLiteral("E: Menu (ULMSG): No echo for command")});
    }

    void fileThatCannotBeSentIsRefusedBeforeTheUnitHearsOfIt()
    {
        start();
        const QString pipe = dir->filePath(QStringLiteral("pipe.pcm"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        // An empty file would replace the recording with nothing.
        const QString empty = dir->filePath(QStringLiteral("empty.pcm"));
        QVERIFY(WriteTestFile(empty, {}));
        QVERIFY(rig->ShowPage(w().tbsMenu));
        jobAt(Places[1], 6);
        const int received = rig->Received();
        choose(pipe);
        runTransfer(w().btnMenuUpload);
        choose(empty);
        runTransfer(w().btnMenuUpload);
        QCOMPARE(rig->Sink.Log(), QStringList({QStringLiteral("E: Это не обычный файл: ") + pipe,
                                               QStringLiteral("E: Файл пуст: ") + empty}));
        QCOMPARE(rig->Received(), received);
    }
};

QTEST_MAIN(TestTransferWin)
#include "test_transferwin.moc"
