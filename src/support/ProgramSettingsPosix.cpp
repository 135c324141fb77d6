// The Linux half of ProgramSettings.h.
#include "ProgramSettings.h"

QSettings ProgramSettings()
{
    return QSettings(QStringLiteral("pt71qm"));
}
