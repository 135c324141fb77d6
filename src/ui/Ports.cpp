#include "Ports.h"

#include "RadioGroup.h"
#include "serial/SpDeviceNames.h"
#include "serial/SpNetAddress.h"
#include "support/ProgramSettings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QString DeviceKey(int port)
{
    return QStringLiteral("Devices/COM%1").arg(port);
}

} // namespace

QString AssignedComDevice(int port)
{
    return ProgramSettings().value(DeviceKey(port)).toString();
}

int ReadPortNumber()
{
    bool ok = false;
    const int port = ProgramSettings().value(QStringLiteral("COMPort")).toString().trimmed().toInt(&ok);
    return ok ? port : 1;
}

void StorePortChoice(const TPortChoice& choice)
{
    QSettings settings = ProgramSettings();
    settings.setValue(QStringLiteral("COMPort"), QString::number(choice.PortNumber));
    for (auto it = choice.DeviceChanges.cbegin(); it != choice.DeviceChanges.cend(); ++it) {
        if (it.value().isEmpty())
            settings.remove(DeviceKey(it.key()));
        else
            settings.setValue(DeviceKey(it.key()), it.value());
    }
}

TFormPorts::TFormPorts(QWidget* parent, const QString& devRoot)
    : TValueDialog(QStringLiteral("Выберите COM-порт"), parent)
    , rgPorts(new TRadioGroup(QStringLiteral("Порт"), this))
    , cbDevice(new QComboBox(this))
    , lbAddressError(new QLabel(this))
    , m_devRoot(devRoot)
{
    // A network address is typed in; the devices present are picked.
    cbDevice->setEditable(true);
    cbDevice->setInsertPolicy(QComboBox::NoInsert);
    cbDevice->lineEdit()->setPlaceholderText(QStringLiteral("tcp://хост:порт"));
    lbAddressError->setWordWrap(true);
    lbAddressError->hide();
    QStringList names;
    for (int port = 1; port <= ComPortCount; ++port)
        names << QStringLiteral("COM%1").arg(port);
    rgPorts->SetItems(names);

    cbDevice->addItem(QStringLiteral("автоматически"), QString());
    QStringList devices = FindSerialDevices(devRoot);
    for (int port = 1; port <= ComPortCount; ++port) {
        const QString assigned = AssignedComDevice(port);
        if (!assigned.isEmpty() && !devices.contains(assigned))
            devices << assigned;
    }
    for (const QString& device : devices)
        cbDevice->addItem(device, device);

    for (int port = 1; port <= ComPortCount; ++port)
        rgPorts->SetNote(port - 1, DeviceFor(port));
    connect(rgPorts, &TRadioGroup::ItemIndexChanged, this, &TFormPorts::rgPortsClick);
    connect(cbDevice, &QComboBox::currentIndexChanged, this, &TFormPorts::cbDeviceChange);
    connect(cbDevice->lineEdit(), &QLineEdit::editingFinished, this, &TFormPorts::cbDeviceEntered);
    cbDevice->lineEdit()->installEventFilter(this);
    rgPortsClick(-1);

    auto* device = new QFormLayout;
    device->addRow(QStringLiteral("Устройство:"), cbDevice);
    device->addRow(lbAddressError);
    auto* body = new QVBoxLayout;
    body->addWidget(rgPorts);
    body->addLayout(device);
    SetBody(body);
}

void TFormPorts::SetPortNumber(int port)
{
    m_initialPort = port;
    rgPorts->SetItemIndex(port - 1);
}

TPortChoice TFormPorts::Choice() const
{
    const int index = rgPorts->ItemIndex();
    return {index >= 0 ? index + 1 : m_initialPort, m_changes};
}

// The device shown for a port: the user's change when there is one (empty:
// automatic), else what the number opens now.
QString TFormPorts::DeviceFor(int port) const
{
    if (!m_changes.contains(port))
        return spResolveDevice(QStringLiteral("COM%1").arg(port), m_devRoot);
    const QString changed = m_changes.value(port);
    return changed.isEmpty() ? spAutomaticComDevice(port, m_devRoot) : changed;
}

void TFormPorts::rgPortsClick(int index)
{
    cbDevice->setEnabled(index >= 0);
    if (index >= 0)
        ShowDevice(index + 1);
}

void TFormPorts::ShowDevice(int port)
{
    const QSignalBlocker quiet(cbDevice);
    const QString assigned = m_changes.value(port, AssignedComDevice(port));
    cbDevice->setCurrentIndex(std::max(0, cbDevice->findData(assigned)));
}

void TFormPorts::cbDeviceChange(int index)
{
    const int port = rgPorts->ItemIndex() + 1;
    if (port < 1)
        return;
    const QString device = cbDevice->itemData(index).toString();
    if (device == AssignedComDevice(port))
        m_changes.remove(port);
    else
        m_changes.insert(port, device);
    rgPorts->SetNote(port - 1, DeviceFor(port));
}

// Enter in the address takes the address: it must not reach the dialog's
// default button, which would close the dialog under a refused address.
bool TFormPorts::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cbDevice->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cbDeviceEntered();
            return true;
        }
    }
    return TValueDialog::eventFilter(watched, event);
}

void TFormPorts::cbDeviceEntered()
{
    const int port = rgPorts->ItemIndex() + 1;
    if (port < 1)
        return;
    const QString text = cbDevice->currentText().trimmed();
    if (const int known = cbDevice->findText(text); known >= 0) {
        lbAddressError->hide();
        cbDevice->setCurrentIndex(known);
        return;
    }
    QString error = QStringLiteral("Введите сетевой адрес вида tcp://хост:порт или rfc2217://хост:порт "
                                   "либо выберите устройство из списка.");
    if (spIsNetworkName(text) && spParseNetAddress(text, error)) {
        lbAddressError->hide();
        cbDevice->addItem(text, text);
        cbDevice->setCurrentIndex(cbDevice->count() - 1);
        return;
    }
    // Nothing is assigned from a wrong address: the number keeps its device.
    lbAddressError->setText(error);
    lbAddressError->show();
    ShowDevice(port);
}
