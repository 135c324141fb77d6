// The POSIX half of RawFiles.h: the calls take the bytes as they are.
#include "RawFiles.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void RemoveAt(int parent, const char* name)
{
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        unlinkat(parent, name, 0);
        return;
    }
    if (DIR* dir = fdopendir(fd)) {
        while (const dirent* entry = readdir(dir)) {
            const QByteArray child(entry->d_name);
            if (child != "." && child != "..")
                RemoveAt(dirfd(dir), entry->d_name);
        }
        closedir(dir);
    } else {
        ::close(fd);
    }
    unlinkat(parent, name, AT_REMOVEDIR);
}

} // namespace

QByteArray RawPath(const QString& path)
{
    return QFile::encodeName(path);
}

QString FromRawPath(const QByteArray& path)
{
    return QFile::decodeName(path);
}

QList<QByteArray> RegularFiles(const QByteArray& folder)
{
    QList<QByteArray> names;
    DIR* dir = opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        struct stat st{};
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            names << QByteArray(entry->d_name);
    }
    closedir(dir);
    return names;
}

void RemoveTree(const QByteArray& path)
{
    RemoveAt(AT_FDCWD, path.constData());
}

qint64 RawFileSize(const QByteArray& path)
{
    struct stat st{};
    return ::stat(path.constData(), &st) == 0 ? qint64(st.st_size) : -1;
}

bool WriteRawFile(const QByteArray& path, const QByteArray& data)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && written;
}

bool MakeRawFolder(const QByteArray& path)
{
    return ::mkdir(path.constData(), 0755) == 0;
}

bool MoveRaw(const QByteArray& from, const QByteArray& to)
{
    return ::rename(from.constData(), to.constData()) == 0;
}

bool SwapRawFolders(const QByteArray& fresh, const QByteArray& place)
{
    return ::renameat2(AT_FDCWD, fresh.constData(), AT_FDCWD, place.constData(), RENAME_EXCHANGE) == 0
        || (errno == ENOENT && ::rename(fresh.constData(), place.constData()) == 0);
}

QByteArray MakeScratchFolder(const QByteArray& pattern)
{
    QByteArray path = pattern;
    return mkdtemp(path.data()) ? path : QByteArray();
}

QString RawFilesError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
