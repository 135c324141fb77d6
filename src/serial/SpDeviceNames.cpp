#include "SpDeviceNames.h"

#include "support/ProgramSettings.h"

#include <QMap>

#include <mutex>

QString spFormatDeviceName(const QString& pattern, int portNum)
{
    const qsizetype at = pattern.indexOf(QLatin1String("%d"));
    if (at < 0)
        return pattern;
    return pattern.left(at) + QString::number(portNum) + pattern.mid(at + 2);
}

namespace {

std::mutex g_overrideMutex;
QMap<int, QString> g_overrides;

QString overriddenDevice(int port)
{
    std::lock_guard lock(g_overrideMutex);
    return g_overrides.value(port);
}

} // namespace

void spOverrideDevice(int port, const QString& device)
{
    std::lock_guard lock(g_overrideMutex);
    if (device.isEmpty())
        g_overrides.remove(port);
    else
        g_overrides.insert(port, device);
}

QString spResolveDevice(const QString& name, const QString& devRoot)
{
    // "COM" and a number without leading zeros. Read by hand: the worker
    // thread resolves names, and under mingw a QRegularExpression used in a
    // thread other than the main one crashes that thread's end.
    const QStringView digits = QStringView(name).mid(3);
    bool number = name.startsWith(QLatin1String("COM")) && !digits.isEmpty() && digits.front() != u'0'
        && digits.size() <= 9;
    for (const QChar c : digits)
        number = number && c >= u'0' && c <= u'9';
    if (!number)
        return name;
    const int port = digits.toInt();
    if (const QString overridden = overriddenDevice(port); !overridden.isEmpty())
        return overridden;
    const QString mapped = ProgramSettings().value(QStringLiteral("Devices/") + name).toString();
    if (!mapped.isEmpty())
        return mapped;
    return spAutomaticComDevice(port, devRoot);
}
