// The Windows half of DemoLine.h: raw TCP on the loopback, any free port.
#include "DemoLine.h"

QString DemoUnitFileName()
{
    return QStringLiteral("parlotel-unit.exe");
}

QStringList DemoUnitLineArguments()
{
    return {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")};
}
