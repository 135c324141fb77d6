#include "RawFiles.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
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
