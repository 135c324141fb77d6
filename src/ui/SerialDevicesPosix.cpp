// The Linux half of SerialDevices.h: device nodes under /dev.
#include "SerialDevices.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// Present entries of one folder matching the pattern, in natural order
// (ttyS2 before ttyS10). Device nodes count as "system" files; a symlink counts
// only when its target is there.
QStringList PresentEntries(const QString& folder, const QString& pattern)
{
    QStringList found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({pattern}, QDir::Files | QDir::System)) {
        const QString path = dir.filePath(name);
        if (QFileInfo::exists(path))
            found << path;
    }
    std::sort(found.begin(), found.end(), NaturalLess);
    return found;
}

} // namespace

QStringList FindSerialDevices(const QString& devRoot)
{
    // Adapters first: the stable by-id names, then USB and ACM, then the
    // built-in ports, which exist as nodes whether or not there is hardware.
    return PresentEntries(devRoot + QStringLiteral("/serial/by-id"), QStringLiteral("*"))
        + PresentEntries(devRoot, QStringLiteral("ttyUSB*"))
        + PresentEntries(devRoot, QStringLiteral("ttyACM*"))
        + PresentEntries(devRoot, QStringLiteral("ttyS*"));
}
