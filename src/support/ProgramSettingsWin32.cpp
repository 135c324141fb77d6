// The Windows half of ProgramSettings.h. The key is opened by its full name:
// QSettings("pt71qm") would put the values one level down, under
// ...\pt71qm\OrganizationDefaults.
#include "ProgramSettings.h"

QSettings ProgramSettings()
{
    return QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\pt71qm"), QSettings::NativeFormat);
}
