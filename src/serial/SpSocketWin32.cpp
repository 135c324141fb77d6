// Windows: network connections wait for their Winsock side; until then every
// connect is refused with the system's own "not supported" words, so an
// address fails plainly instead of the build lacking the device.
#include "SpSocket.h"
#include "support/SystemErrorText.h"

#include <windows.h>

TSpSocket::~TSpSocket() = default;

int TSpSocket::Connect(const QString&, int, int)
{
    return ERROR_NOT_SUPPORTED;
}

int TSpSocket::Send(const uint8_t*, int)
{
    return -ERROR_NOT_SUPPORTED;
}

int TSpSocket::Receive(uint8_t*, int)
{
    return -ERROR_NOT_SUPPORTED;
}

int TSpSocket::Pending(int& count) const
{
    count = 0;
    return ERROR_NOT_SUPPORTED;
}

int TSpSocket::Failure() const
{
    return ERROR_NOT_SUPPORTED;
}

int TSpSocket::Wait(const TSpWaker*, int, int) const
{
    return -ERROR_NOT_SUPPORTED;
}

QString TSpSocket::ErrorText(int code)
{
    return SystemErrorText(unsigned(code));
}

TSpFailure TSpSocket::Classify(int)
{
    return TSpFailure::Other;
}
