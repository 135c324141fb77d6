#include "ScratchFolder.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

void RemoveTree(int parent, const char* name)
{
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        if (DIR* dir = fdopendir(fd)) {
            while (const dirent* entry = readdir(dir)) {
                const QByteArray child(entry->d_name);
                if (child != "." && child != "..")
                    RemoveTree(dirfd(dir), entry->d_name);
            }
            closedir(dir);
        } else {
            ::close(fd);
        }
        unlinkat(parent, name, AT_REMOVEDIR);
        return;
    }
    unlinkat(parent, name, 0);
}

const char* const Prefix = "transfer-";

} // namespace

TScratchFolder::TScratchFolder(const QString& parent)
{
    QByteArray pattern = QFile::encodeName(parent) + '/' + Prefix + "XXXXXX";
    if (mkdtemp(pattern.data()))
        m_path = QFile::decodeName(pattern);
}

TScratchFolder::~TScratchFolder()
{
    if (!m_path.isEmpty())
        RemoveTree(AT_FDCWD, QFile::encodeName(m_path).constData());
}

void TScratchFolder::RemoveLeftovers(const QString& parent)
{
    const int fd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    while (const dirent* entry = readdir(dir))
        if (QByteArray(entry->d_name).startsWith(Prefix))
            RemoveTree(dirfd(dir), entry->d_name);
    closedir(dir);
}
