// The Windows halves under wine: the settings in the registry key the
// program's users know, the computer's COM ports for the port dialog, the
// names a port opens, a port that is not there, output files and devices,
// and child processes.
#include "serial/SpDevice.h"
#include "serial/SpDeviceNames.h"
#include "support/ChildProcess.h"
#include "support/OutputFile.h"
#include "support/ProgramSettings.h"
#include "ui/Ports.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// reg.exe of the prefix: what another Windows program sees of the registry.
struct TReg {
    int Code = -1;
    QString Output;
};

TReg Reg(const QStringList& args)
{
    TChildProcess reg;
    TChildOptions options;
    options.Errors = TChildErrors::Piped;
    if (!reg.Start(QStringLiteral("reg"), args, options))
        return {};
    QByteArray output;
    for (QByteArray more; !(more = reg.Read(10000)).isEmpty();)
        output += more;
    return {reg.Wait(10000), QString::fromLocal8Bit(output)};
}

const QString Key = QStringLiteral("HKCU\\Software\\pt71qm");
const QString PortsKey = QStringLiteral("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM");

} // namespace

class TestWindowsPlatform : public QObject {
    Q_OBJECT
private slots:
    void init() { Reg({QStringLiteral("delete"), Key, QStringLiteral("/f")}); }
    void cleanupTestCase() { Reg({QStringLiteral("delete"), Key, QStringLiteral("/f")}); }

    void portNumberIsTheRegistryValue()
    {
        QCOMPARE(ReadPortNumber(), 1); // nothing stored yet
        StorePortChoice({7, {{3, QStringLiteral("COM11")}}});
        TReg query = Reg({QStringLiteral("query"), Key, QStringLiteral("/v"), QStringLiteral("COMPort")});
        QCOMPARE(query.Code, 0);
        QVERIFY2(query.Output.contains(QRegularExpression(QStringLiteral("COMPort\\s+REG_SZ\\s+7"))),
                 qPrintable(query.Output));
        // Not one level down, where QSettings puts an organisation's values.
        QVERIFY(Reg({QStringLiteral("query"), Key + QStringLiteral("\\OrganizationDefaults")}).Code != 0);

        // Another program's value is read as the program's own.
        QCOMPARE(Reg({QStringLiteral("add"), Key, QStringLiteral("/v"), QStringLiteral("COMPort"),
                      QStringLiteral("/d"), QStringLiteral("12"), QStringLiteral("/f")}).Code, 0);
        QCOMPARE(ReadPortNumber(), 12);
        QCOMPARE(AssignedComDevice(3), QStringLiteral("COM11"));
    }

    void comNamesOpenThePortsOfTheirName()
    {
        QCOMPARE(spResolveDevice(QStringLiteral("COM12")), QStringLiteral("COM12"));
        ProgramSettings().setValue(QStringLiteral("Devices/COM3"), QStringLiteral("COM14"));
        QCOMPARE(spResolveDevice(QStringLiteral("COM3")), QStringLiteral("COM14"));

        // A port the computer lacks is told apart from one that is busy.
        auto device = spCreateSerialDevice();
        const int code = device->Open(QStringLiteral("COM97"));
        QVERIFY(code != 0);
        QCOMPARE(device->Classify(code), TSpFailure::NotFound);
        QVERIFY(!device->ErrorText(code).isEmpty());
        QVERIFY(!device->ErrorText(code).endsWith(QLatin1Char('.')));
    }

    void portDialogListsTheComputersPorts()
    {
        const QStringList add{QStringLiteral("add"), PortsKey, QStringLiteral("/f"), QStringLiteral("/v")};
        QCOMPARE(Reg(add + QStringList{QStringLiteral("\\Device\\ParlotelTest10"), QStringLiteral("/d"),
                                        QStringLiteral("COM10")}).Code, 0);
        QCOMPARE(Reg(add + QStringList{QStringLiteral("\\Device\\ParlotelTest2"), QStringLiteral("/d"),
                                        QStringLiteral("COM2")}).Code, 0);
        const QStringList ports = FindSerialDevices();
        for (const char* name : {"\\Device\\ParlotelTest10", "\\Device\\ParlotelTest2"})
            Reg({QStringLiteral("delete"), PortsKey, QStringLiteral("/v"), QString::fromLatin1(name),
                 QStringLiteral("/f")});
        QVERIFY2(ports.contains(QStringLiteral("COM2")) && ports.contains(QStringLiteral("COM10")),
                 qPrintable(ports.join(QLatin1Char(' '))));
        QVERIFY(ports.indexOf(QStringLiteral("COM2")) < ports.indexOf(QStringLiteral("COM10")));
        QCOMPARE(ports.count(QStringLiteral("COM2")), 1);
    }

    void outputFilesAndDevices()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("export.txt"));
        QString reason;
        QVERIFY2(WriteOutputFile(file, "first", TFileAccess::Owner, reason), qPrintable(reason));
        QVERIFY2(WriteOutputFile(file, "second", TFileAccess::Owner, reason), qPrintable(reason));
        QFile back(file);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), QByteArray("second"));
        // Nothing left beside it from the replacement.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("export.txt")});

        // The null device is written in place, never replaced by a file.
        QVERIFY2(WriteOutputFile(QStringLiteral("NUL"), "gone", TFileAccess::Owner, reason), qPrintable(reason));
        QVERIFY(OutputProblem(dir.path()).has_value()); // a folder
        QVERIFY(OutputProblem(dir.filePath(QStringLiteral("missing/x.txt"))).has_value());

        // A read-only file is refused before anything is sent to the unit.
        QFile::setPermissions(file, QFileDevice::ReadOwner);
        QVERIFY(OutputProblem(file).has_value());
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void childProcesses()
    {
        TChildProcess child;
        // One argument with a space, quoted as the C runtime reads it back,
        // and unquoted again by cmd.
        QVERIFY2(child.Start(QStringLiteral("cmd"), {QStringLiteral("/c"), QStringLiteral("echo hello there&exit 3")}),
                 qPrintable(child.ErrorText()));
        QCOMPARE(child.ReadLine(10000), QByteArray("hello there"));
        QCOMPARE(child.Wait(10000), 3);

        TChildProcess missing;
        QVERIFY(!missing.Start(QStringLiteral("parlotel-no-such-program.exe"), {}));
        QVERIFY(!missing.ErrorText().isEmpty());

        // No pseudo-terminals here: said, not half done.
        TChildOptions terminal;
        terminal.Terminal = true;
        TChildProcess onTerminal;
        QVERIFY(!onTerminal.Start(QStringLiteral("cmd"), {}, terminal));
    }
};

QTEST_MAIN(TestWindowsPlatform)
#include "test_windows_platform.moc"
