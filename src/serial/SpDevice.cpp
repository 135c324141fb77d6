#include "SpDevice.h"

std::unique_ptr<TSpDevice> spCreateDevice(const QString& name)
{
    // A network connection's name is never taken for a path: that would be
    // reported as a device not found.
    for (const char* scheme : {"tcp://", "rfc2217://"})
        if (name.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return nullptr;
    return spCreateSerialDevice();
}
