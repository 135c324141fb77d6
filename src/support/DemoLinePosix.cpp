// The Linux half of DemoLine.h: a pseudo-terminal.
#include "DemoLine.h"

QString DemoUnitFileName()
{
    return QStringLiteral("parlotel-unit");
}

QStringList DemoUnitLineArguments()
{
    return {QStringLiteral("--pty")};
}
