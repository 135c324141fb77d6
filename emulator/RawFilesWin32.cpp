// The Windows half of RawFiles.h: a raw path is the Windows-1251 form of a
// name, turned into the Unicode name the file system keeps at every call.
#include "RawFiles.h"

#include "UnitText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

QString g_lastError; // the unit runs on one thread

QString Name(const QByteArray& raw)
{
    return FromUnitBytes(raw);
}

bool Failed(const QString& why)
{
    g_lastError = why;
    return false;
}

} // namespace

QByteArray RawPath(const QString& path)
{
    return ToUnitBytes(QDir::fromNativeSeparators(path));
}

QString FromRawPath(const QByteArray& path)
{
    return Name(path);
}

QList<QByteArray> RegularFiles(const QByteArray& folder)
{
    QList<QByteArray> names;
    const QStringList entries = QDir(Name(folder)).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& entry : entries)
        names << ToUnitBytes(entry);
    return names;
}

qint64 RawFileSize(const QByteArray& path)
{
    const QFileInfo info(Name(path));
    return info.isFile() ? info.size() : -1;
}

bool WriteRawFile(const QByteArray& path, const QByteArray& data)
{
    QFile file(Name(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Failed(file.errorString());
    return (file.write(data) == data.size() && file.flush()) || Failed(file.errorString());
}

bool MakeRawFolder(const QByteArray& path)
{
    return QDir().mkdir(Name(path)) || Failed(QStringLiteral("cannot create %1").arg(Name(path)));
}

bool MoveRaw(const QByteArray& from, const QByteArray& to)
{
    return QDir().rename(Name(from), Name(to)) || Failed(QStringLiteral("cannot move %1").arg(Name(from)));
}

bool SwapRawFolders(const QByteArray& fresh, const QByteArray& place)
{
    // Windows cannot exchange two names in one step: the old folder steps
    // aside, beside fresh, so that it goes with fresh's parent as an exchange
    // would send it. Killed between the two steps, the unit has no recording
    // there, and the old one goes with the transfer's leftovers at the next start.
    const QString aside = Name(fresh) + QStringLiteral("-old");
    const bool hadOne = QFileInfo::exists(Name(place));
    if (hadOne && !QDir().rename(Name(place), aside))
        return Failed(QStringLiteral("cannot move %1 aside").arg(Name(place)));
    if (!QDir().rename(Name(fresh), Name(place))) {
        if (hadOne)
            QDir().rename(aside, Name(place));
        return Failed(QStringLiteral("cannot move %1 into place").arg(Name(fresh)));
    }
    return true;
}

QByteArray MakeScratchFolder(const QByteArray& pattern)
{
    const QString stem = Name(pattern).chopped(6);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = stem + QString::number(QRandomGenerator::global()->bounded(1000000), 10).rightJustified(6, u'0');
        if (QDir().mkdir(path))
            return ToUnitBytes(path);
    }
    Failed(QStringLiteral("cannot create a folder beside %1").arg(stem));
    return {};
}

void RemoveTree(const QByteArray& path)
{
    const QString name = Name(path);
    if (QFileInfo(name).isDir())
        QDir(name).removeRecursively();
    else
        QFile::remove(name);
}

QString RawFilesError()
{
    return g_lastError;
}
