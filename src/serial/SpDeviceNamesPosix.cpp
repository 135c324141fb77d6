// The Linux half of SpDeviceNames.h: which terminal device "COMn" is.
#include "SpDeviceNames.h"

#include <QFileInfo>

QString spAutomaticComDevice(int port, const QString& devRoot)
{
    const QString usb = QStringLiteral("%1/ttyUSB%2").arg(devRoot).arg(port - 1);
    if (QFileInfo::exists(usb))
        return usb;
    return QStringLiteral("%1/ttyS%2").arg(devRoot).arg(port - 1);
}
