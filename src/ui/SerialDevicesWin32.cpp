// The Windows half of SerialDevices.h: the values of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, where each driver lists
// the port it serves ("\Device\Serial0" = "COM1"). Read with the registry
// calls: QSettings takes the backslashes of those value names for key levels.
#include "SerialDevices.h"

#include <algorithm>
#include <windows.h>

QStringList FindSerialDevices(const QString&)
{
    QStringList ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key)
        != ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameSize = DWORD(std::size(name));
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG got = ::RegEnumValueW(key, index, name, &nameSize, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), &dataSize);
        if (got == ERROR_NO_MORE_ITEMS)
            break;
        if (got != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const QString port = QString::fromWCharArray(data, int(dataSize / sizeof(wchar_t))).section(QChar(0), 0, 0);
        if (!port.isEmpty() && !ports.contains(port))
            ports << port;
    }
    ::RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), NaturalLess);
    return ports;
}
