#pragma once
// How the demo mode's unit is reached on this system. Linux gives it a
// pseudo-terminal, which the program opens as it opens a serial device
// (DemoLinePosix.cpp); Windows has none, so there the unit listens on a free
// port of the loopback and the program connects with "tcp://"
// (DemoLineWin32.cpp). Either way the unit prints what to open as its first line.

#include <QString>
#include <QStringList>

// The emulated unit's file name.
QString DemoUnitFileName();
// The arguments that tell the unit where to serve.
QStringList DemoUnitLineArguments();
