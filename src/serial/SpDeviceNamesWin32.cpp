// The Windows half of SpDeviceNames.h: "COMn" is a device of its own name.
#include "SpDeviceNames.h"

QString spAutomaticComDevice(int port, const QString&)
{
    return QStringLiteral("COM%1").arg(port);
}
