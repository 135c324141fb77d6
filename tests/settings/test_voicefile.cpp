// The voice-file job: name, duration and size in the grid, delete with
// confirmation, the requests before a transfer calling the transfer window's
// hook, and the unit's result line after it, each followed by a read-back
// unless the line never came.
#include "ScriptedUnit.h"
#include "serial/SpSync.h"
#include "session/UnitDialog.h"
#include "settings/VoiceFile.h"
#include "ui/StringGrid.h"

#include <QTemporaryFile>
#include <QtTest>

using namespace TestSupport;

namespace {

// The read of code 60: "GET", the "N" prompt, the code, the unit's MSG= line.
void scriptRead(TScriptedUnit& unit, const QByteArray& messageLine)
{
    unit.On(Unit::Get, "N");
    unit.On("60\r", messageLine + "\rPC SYS>");
}

struct TFileRig {
    TJobRig Rig;
    TStringGrid Grid;
    TStringGrid* GridVar = &Grid;
    TFile Job;
    int HookCalls = 0;

    TFileRig()
    {
        Grid.SetColCount(4);
        Grid.SetRowCount(3);
        Job.Code = 60;
        Job.GridRef = &GridVar;
        Job.Col = 1;
        Job.Row = 2;
        Job.TransferStartHook = [this] { HookCalls += spIsMainThread() ? 1 : 100; };
    }
    QStringList Row() const { return {Grid.Cells(1, 2), Grid.Cells(2, 2), Grid.Cells(3, 2)}; }
};

} // namespace

class TestVoiceFile : public QObject {
    Q_OBJECT
private slots:
    void showsNameDurationAndSize()
    {
        TFileRig f;
        scriptRead(f.Rig.Unit, "MSG=greet1 96000");
        QVERIFY(f.Rig.Run(f.Job, TJoint1::Read));
        QCOMPARE(f.Row(), QStringList({"greet1", "00:12", "96000"}));
        QCOMPARE(f.Job.GetText(), QStringLiteral("greet1"));
        scriptRead(f.Rig.Unit, "MSG=");
        QVERIFY(f.Rig.Run(f.Job, TJoint1::Read));
        QCOMPARE(f.Row(), QStringList({"Не записано", "", ""}));
        QCOMPARE(f.Job.GetText(), QStringLiteral("Не записано"));
        QCOMPARE(f.Rig.Sink.Log(), QStringList());
    }

    void deleteAsksThenClearsAndRereads()
    {
        TFileRig f;
        f.Job.FileName = QStringLiteral("greet1");
        const std::pair<QByteArray, QString> refusals[] = {
            {"ERROR", "File (CLEAR): reply: 'ERROR'"}, {"DONE", "File (CLEAR): Unknown error"}};
        for (const auto& [reply, error] : refusals) {
            f.Rig.Sink.QueueConfirm(true);
            f.Rig.Unit.On(Unit::Clear, "N");
            f.Rig.Unit.On("60\r", reply + "\rPC SYS>");
            QVERIFY(f.Rig.Run(f.Job, TFile::DeleteFile));
            QCOMPARE(f.Rig.Sink.Errors().last(), error);
        }
        f.Rig.Sink.Clear();
        f.Rig.Unit.ClearReceived();
        QVERIFY(f.Rig.Run(f.Job, TFile::DeleteFile)); // declined
        f.Rig.Sink.QueueConfirm(true);
        f.Rig.Unit.On(Unit::Clear, "N");
        f.Rig.Unit.On("60\r", "OK\rPC SYS>");
        scriptRead(f.Rig.Unit, "MSG=");
        QVERIFY(f.Rig.Run(f.Job, TFile::DeleteFile));
        QVERIFY(f.Rig.Run(f.Job, TFile::DeleteFile)); // nothing recorded: nothing to ask
        QCOMPARE(f.Rig.Sink.Log(), QStringList({"Q: Удалить файл: greet1", "Q: Удалить файл: greet1"}));
        QCOMPARE(f.Rig.Unit.Received(), "CLEAR\r60\rGET\r60\r");
        QCOMPARE(f.Row().first(), QStringLiteral("Не записано"));
    }

    void requestsCallTheHookInTheMainThread()
    {
        TFileRig f;
        QTemporaryFile local; // an upload is announced only for a file that can be sent
        QVERIFY(local.open() && local.write("v") == 1 && local.flush());
        f.Job.LocalFilePath = local.fileName();
        f.Rig.Unit.On(Unit::Set, "N");
        f.Rig.Unit.On("60\r", {});
        QVERIFY(f.Rig.Run(f.Job, TFile::UploadFile));
        f.Rig.Unit.On(Unit::DownloadMsg, "N");
        f.Rig.Unit.On("60\r", "START");
        QVERIFY(f.Rig.Run(f.Job, TFile::DownloadFile));
        QCOMPARE(f.Rig.Unit.Received(), "SET\r60\rDLMSG\r60\r");
        QCOMPARE(f.HookCalls, 2);
        QCOMPARE(f.Rig.Sink.Log(), QStringList());

        f.Rig.Unit.On(Unit::DownloadMsg, "N");
        f.Rig.Unit.On("60\r", "BUSY\r"); // no START
        QVERIFY(f.Rig.Run(f.Job, TFile::DownloadFile));
        f.Rig.Unit.On(Unit::DownloadMsg, "N", false);
        QVERIFY(f.Rig.Run(f.Job, TFile::DownloadFile));
        QCOMPARE(f.Rig.Sink.Errors(), QStringList({"File (DLMSG): Time-out of prompt",
                                                   "File (CLEAR): No echo at parameter"}));
        QCOMPARE(f.HookCalls, 2);
    }

    void transferResultIsReportedThenReadBack()
    {
        TFileRig f;
        const std::pair<QByteArray, QStringList> cases[] = {
            {"OK", {}},
            {"YMODEM_ERR(3)", {"YMODEM: error 3"}},
            {"YMODEM_ERR(x)", {"YMODEM: Incorrect error number format"}},
            {"YMODEM_ERR(99999999999)", {"YMODEM: Incorrect error number format"}},
            {"YMODEM_ERR(4", {"YMODEM: Incorrect error number format"}},
            {"YMODEM_ERR(42)", {"YMODEM: Unknown error"}},
            {"FAILED", {"YMODEM: Unknown error"}},
        };
        for (const auto& [result, errors] : cases) {
            f.Rig.Sink.Clear();
            f.Rig.Unit.Send("\x06\x06TRANSFER_RESULT:" + result + "\rPC SYS>");
            scriptRead(f.Rig.Unit, "MSG=new 16000");
            QVERIFY(f.Rig.Run(f.Job, TFile::ReadResult));
            QCOMPARE(f.Rig.Sink.Errors(), errors);
            QCOMPARE(f.Row(), QStringList({"new", "00:02", "16000"}));
        }
        // No result line at all: the unit may still be inside the transfer, and
        // would take a read for part of it, so nothing more is sent.
        f.Rig.Sink.Clear();
        f.Rig.Unit.ClearReceived();
        QVERIFY(f.Rig.Run(f.Job, TFile::ReadResult));
        QCOMPARE(f.Rig.Sink.Errors(), QStringList({"YMODEM: Time-out on status reply"}));
        QCOMPARE(f.Rig.Unit.Received(), QByteArray());
        QCOMPARE(f.Row().first(), QStringLiteral("new"));
    }
};

QTEST_MAIN(TestVoiceFile)
#include "test_voicefile.moc"
