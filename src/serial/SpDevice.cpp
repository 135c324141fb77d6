#include "SpDevice.h"

#include "SpNetAddress.h"

std::unique_ptr<TSpDevice> spCreateDevice(const QString& name)
{
    // Any "scheme://" name is an address, never a path: a bad one must be
    // told as such, not as a device not found.
    return spIsNetworkName(name) ? spCreateNetDevice() : spCreateSerialDevice();
}
