#pragma once
// The names of the devices a port opens: "COMn" and the device it stands for
// on this computer (this run's override, the stored setting, or the first
// serial device present).

#include <QString>

// "COM%d" with 2 gives "COM2": the first "%d" takes the number; a pattern
// without it is used unchanged.
QString spFormatDeviceName(const QString& pattern, int portNum);
// The device a name stands for: "/..." as it stands; "COMn" through this run's
// override (spOverrideDevice), else the setting Devices/COMn when present, else
// the automatic device (spAutomaticComDevice); anything else unchanged.
QString spResolveDevice(const QString& name, const QString& devRoot = QStringLiteral("/dev"));
// The device "COMn" stands for when nothing is assigned to it: on Linux
// {devRoot}/ttyUSB{n-1} when that exists, else {devRoot}/ttyS{n-1}
// (SpDeviceNamesPosix.cpp); on Windows the communications device COMn itself,
// which the device opens as \\.\COMn (SpDeviceNamesWin32.cpp).
QString spAutomaticComDevice(int port, const QString& devRoot = QStringLiteral("/dev"));
// Points "COMn" at device for the rest of this run, ahead of the stored setting
// and without touching it (the demo mode's emulated unit); an empty device
// removes the override.
void spOverrideDevice(int port, const QString& device);
