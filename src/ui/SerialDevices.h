#pragma once
// The serial devices this computer has, for the port dialog's list: on Linux
// the device nodes (SerialDevicesPosix.cpp), on Windows the communications
// ports the system lists, as Device Manager shows them (SerialDevicesWin32.cpp).

#include <QString>
#include <QStringList>

// Linux: the devices present under devRoot, in this order: serial/by-id/*,
// ttyUSB*, ttyACM*, ttyS*. Windows: the names "COMn" listed under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM (devRoot is not used).
// Each group in natural order (COM2 before COM10).
QStringList FindSerialDevices(const QString& devRoot = QStringLiteral("/dev"));

// Orders names by their text and then by the number they end with.
bool NaturalLess(const QString& a, const QString& b);
