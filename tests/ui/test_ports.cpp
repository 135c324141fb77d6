// The port choice: the device each COM number resolves to, assigning a found
// device or a network address typed in, returning to automatic, and the
// stored settings read back.
#include "GuiTestSupport.h"
#include "ui/Ports.h"
#include "ui/RadioGroup.h"
#include "serial/SpDeviceNames.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("pt71qm"));
}

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestPorts : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        settings().clear();
        QVERIFY(m_dev.isValid());
        for (const QString& name : {QStringLiteral("ttyS0"), QStringLiteral("ttyS1"), QStringLiteral("ttyS10"),
                                    QStringLiteral("ttyS2"), QStringLiteral("ttyUSB1"), QStringLiteral("ttyACM0"),
                                    QStringLiteral("tty0"), QStringLiteral("serial/by-id/usb-FTDI_Cable-if00")})
            touch(m_dev.filePath(name));
        // A by-id link whose device is gone is not offered.
        QFile::link(m_dev.filePath(QStringLiteral("ttyUSB7")), m_dev.filePath(QStringLiteral("serial/by-id/gone")));
    }
    void cleanup()
    {
        const QStringList problems = CloseLeftoverModals();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    }

    void resolvesByAssignmentThenUsbThenSerial()
    {
        const QString root = m_dev.path();
        QCOMPARE(spResolveDevice(QStringLiteral("COM1"), root), root + QStringLiteral("/ttyS0"));
        QCOMPARE(spResolveDevice(QStringLiteral("COM2"), root), root + QStringLiteral("/ttyUSB1"));
        QCOMPARE(spResolveDevice(QStringLiteral("COM4"), root), root + QStringLiteral("/ttyS3")); // even when absent
        settings().setValue(QStringLiteral("Devices/COM2"), QStringLiteral("/dev/ttyACM5"));
        QCOMPARE(spResolveDevice(QStringLiteral("COM2"), root), QStringLiteral("/dev/ttyACM5"));
    }

    void overrideWinsForThisRunAndStoresNothing()
    {
        const QString root = m_dev.path();
        settings().setValue(QStringLiteral("Devices/COM2"), QStringLiteral("/dev/ttyACM5"));
        spOverrideDevice(2, QStringLiteral("/dev/pts/77"));
        QCOMPARE(spResolveDevice(QStringLiteral("COM2"), root), QStringLiteral("/dev/pts/77"));
        {
            TFormPorts d(nullptr, root);
            QCOMPARE(d.rgPorts->Note(1), QStringLiteral("/dev/pts/77"));
        }
        spOverrideDevice(2, QString());
        QCOMPARE(AssignedComDevice(2), QStringLiteral("/dev/ttyACM5"));
        QCOMPARE(spResolveDevice(QStringLiteral("COM2"), root), QStringLiteral("/dev/ttyACM5"));
    }

    void findsSerialDevicesInNaturalOrder()
    {
        const QString root = m_dev.path();
        const QStringList expected = {root + QStringLiteral("/serial/by-id/usb-FTDI_Cable-if00"),
                                      root + QStringLiteral("/ttyUSB1"), root + QStringLiteral("/ttyACM0"),
                                      root + QStringLiteral("/ttyS0"), root + QStringLiteral("/ttyS1"),
                                      root + QStringLiteral("/ttyS2"), root + QStringLiteral("/ttyS10")};
        QCOMPARE(FindSerialDevices(root), expected);
        QCOMPARE(FindSerialDevices(m_dev.filePath(QStringLiteral("missing"))), QStringList());
    }

    void dialogShowsAssignsAndReturnsToAutomatic()
    {
        const QString root = m_dev.path();
        const QString byId = root + QStringLiteral("/serial/by-id/usb-FTDI_Cable-if00");
        settings().setValue(QStringLiteral("Devices/COM3"), QStringLiteral("/dev/ttyACM9"));
        TFormPorts d(nullptr, root);
        d.SetPortNumber(2);
        QCOMPARE(d.windowTitle(), QStringLiteral("Выберите COM-порт"));
        QCOMPARE(d.rgPorts->title(), QStringLiteral("Порт"));
        QCOMPARE(d.rgPorts->Items(), QStringList({"COM1", "COM2", "COM3", "COM4"}));
        QCOMPARE(d.rgPorts->Note(0), root + QStringLiteral("/ttyS0"));
        QCOMPARE(d.rgPorts->Note(1), root + QStringLiteral("/ttyUSB1"));
        QCOMPARE(d.rgPorts->Note(2), QStringLiteral("/dev/ttyACM9"));
        // An assigned device that is not plugged in is still offered.
        QVERIFY(d.cbDevice->findData(QStringLiteral("/dev/ttyACM9")) > 0);

        AnswerNextModal<TFormPorts>([&](TFormPorts* shown) {
            QCOMPARE(shown->cbDevice->currentIndex(), 0); // COM2: automatic
            shown->cbDevice->setCurrentIndex(shown->cbDevice->findData(byId));
            QCOMPARE(shown->rgPorts->Note(1), byId);
            ClickIndicator(shown->rgPorts->Button(2));
            QCOMPARE(shown->cbDevice->currentData().toString(), QStringLiteral("/dev/ttyACM9"));
            shown->cbDevice->setCurrentIndex(0);
            QCOMPARE(shown->rgPorts->Note(2), root + QStringLiteral("/ttyS2"));
            // Back and forth on COM4 is no change at all.
            ClickIndicator(shown->rgPorts->Button(3));
            shown->cbDevice->setCurrentIndex(1);
            shown->cbDevice->setCurrentIndex(0);
            shown->btnOK->click();
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        const TPortChoice choice = d.Choice();
        QCOMPARE(choice.PortNumber, 4);
        QCOMPARE(choice.DeviceChanges, (QMap<int, QString>{{2, byId}, {3, QString()}}));

        StorePortChoice(choice);
        QCOMPARE(settings().value(QStringLiteral("COMPort")).toString(), QStringLiteral("4"));
        QCOMPARE(AssignedComDevice(2), byId);
        QVERIFY(!settings().contains(QStringLiteral("Devices/COM3")));
        QCOMPARE(ReadPortNumber(), 4);
    }

    // An address typed in and Enter: a good one is assigned (and Enter does
    // not close the dialog), a wrong one is refused with its reason, the
    // number keeping its device.
    void networkAddressTypedIn()
    {
        const QString address = QStringLiteral("rfc2217://[fd00::7]:4001");
        TFormPorts d(nullptr, m_dev.path());
        d.SetPortNumber(1);
        AnswerNextModal<TFormPorts>([&](TFormPorts* shown) {
            QLineEdit* edit = shown->cbDevice->lineEdit();
            edit->setText(QStringLiteral("tcp://unit-room"));
            QTest::keyClick(edit, Qt::Key_Return);
            QVERIFY(shown->isVisible());
            QVERIFY(!shown->lbAddressError->isHidden());
            QVERIFY2(shown->lbAddressError->text().contains(QStringLiteral("no port")),
                     qPrintable(shown->lbAddressError->text()));
            QCOMPARE(shown->cbDevice->currentIndex(), 0); // still automatic
            QCOMPARE(shown->rgPorts->Note(0), m_dev.path() + QStringLiteral("/ttyS0"));

            edit->setText(QStringLiteral("  ") + address);
            QTest::keyClick(edit, Qt::Key_Return);
            QVERIFY(shown->isVisible());
            QVERIFY(shown->lbAddressError->isHidden());
            QCOMPARE(shown->cbDevice->currentData().toString(), address);
            QCOMPARE(shown->rgPorts->Note(0), address);
            shown->btnOK->click();
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        StorePortChoice(d.Choice());
        QCOMPARE(AssignedComDevice(1), address);
        QCOMPARE(spResolveDevice(QStringLiteral("COM1"), m_dev.path()), address);
        // Offered again next time, as any assigned device is.
        TFormPorts again(nullptr, m_dev.path());
        QVERIFY(again.cbDevice->findData(address) > 0);
    }

    void outOfRangeNumberChecksNoneAndKeepsIt()
    {
        TFormPorts d(nullptr, m_dev.path());
        d.SetPortNumber(7);
        QCOMPARE(d.rgPorts->ItemIndex(), -1);
        QVERIFY(!d.cbDevice->isEnabled());
        QCOMPARE(d.Choice().PortNumber, 7);
    }

    void readPortNumberFallsBackToOne_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("port");
        QTest::newRow("missing") << QVariant() << 1;
        QTest::newRow("empty") << QVariant(QString()) << 1;
        QTest::newRow("not a number") << QVariant(QStringLiteral("COM2")) << 1;
        QTest::newRow("trailing junk") << QVariant(QStringLiteral("3x")) << 1;
        QTest::newRow("number") << QVariant(QStringLiteral("3")) << 3;
        QTest::newRow("spaces") << QVariant(QStringLiteral(" 2 ")) << 2;
        QTest::newRow("outside 1 to 4 used as it is") << QVariant(QStringLiteral("6")) << 6;
    }
    void readPortNumberFallsBackToOne()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, port);
        if (stored.isValid())
            settings().setValue(QStringLiteral("COMPort"), stored);
        QCOMPARE(ReadPortNumber(), port);
    }

private:
    QTemporaryDir m_dev;
};

QTEST_MAIN(TestPorts)
#include "test_ports.moc"
