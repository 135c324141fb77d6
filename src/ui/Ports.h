#pragma once
// Choice of the serial port, COM1 to COM4, and of the device each number
// stands for. "COMn" opens the device assigned to it in the settings
// (Devices/COMn), else on Linux /dev/ttyUSB{n-1} when that exists, else
// /dev/ttyS{n-1}, and on Windows the port COMn itself.
// The dialog shows beside each number the device it resolves to and lets the
// user assign any serial device found or a network address typed in
// (tcp://HOST:PORT, rfc2217://HOST:PORT; a wrong one is refused with the
// reason shown under the list), or return the number to automatic. It
// hands back a TPortChoice; StorePortChoice saves it and ReadPortNumber reads
// the port number back.

#include "SerialDevices.h"
#include "ValueDialog.h"

#include <QMap>
#include <QStringList>

class QComboBox;
class QLabel;
class TRadioGroup;

inline constexpr int ComPortCount = 4;

struct TPortChoice {
    int PortNumber = 1;
    // Only the numbers whose device the user changed: the device path, or an
    // empty text for "back to automatic".
    QMap<int, QString> DeviceChanges;
};

// The device assigned to "COMn" in the settings, empty when none. Which device
// a number opens is the serial layer's rule (spResolveDevice).
QString AssignedComDevice(int port);

// "COMPort" as a decimal number; missing, empty or not a number gives 1.
int ReadPortNumber();
// Writes "COMPort" and the changed device assignments.
void StorePortChoice(const TPortChoice& choice);

class TFormPorts : public TValueDialog {
    Q_OBJECT
public:
    explicit TFormPorts(QWidget* parent = nullptr, const QString& devRoot = QStringLiteral("/dev"));

    TRadioGroup* rgPorts;
    QComboBox* cbDevice;
    QLabel* lbAddressError;

    // Checks COMn; a number outside 1 to 4 checks none.
    void SetPortNumber(int port);
    // What the user chose; with no port checked the number given to
    // SetPortNumber stays.
    TPortChoice Choice() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void rgPortsClick(int index);
    void cbDeviceChange(int index);
    void cbDeviceEntered();

private:
    QString DeviceFor(int port) const;
    void ShowDevice(int port);

    QString m_devRoot;
    int m_initialPort = 1;
    QMap<int, QString> m_changes;
};
