// The POSIX half of OutputFileSystem.h.
#include "OutputFileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 CopyChunk = 64 * 1024;
constexpr int NameTries = 100;

QByteArray Encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes all of from into fd, however the system splits it.
bool CopyInto(QIODevice& from, int fd, QString& reason)
{
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(CopyChunk);
        if (chunk.isEmpty()) {
            reason = from.errorString();
            return false;
        }
        for (qsizetype done = 0; done < chunk.size();) {
            const ssize_t n = ::write(fd, chunk.constData() + done, size_t(chunk.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                reason = SystemText(errno);
                return false;
            }
            done += n;
        }
    }
    return true;
}

// A new file beside target under a name nobody uses; -1 with errno.
int CreateBeside(const QString& target, TFileAccess access, QString& created)
{
    const QFileInfo info(target);
    const mode_t mode = access == TFileAccess::Owner ? 0600 : 0666;
    for (int i = 0; i < NameTries; ++i) {
        created = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.')
            + QString::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(Encoded(created).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

TOutputTarget LookAtOutput(const QString& path)
{
    struct stat st {};
    if (::stat(Encoded(path).constData(), &st) != 0)
        return {TOutputKind::New, path, errno == ENOENT || errno == ENOTDIR ? QString() : SystemText(errno)};
    if (S_ISREG(st.st_mode))
        return {TOutputKind::Regular, QFileInfo(path).canonicalFilePath(), {}};
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
        return {TOutputKind::Stream, path, {}};
    if (S_ISDIR(st.st_mode))
        return {TOutputKind::Folder, path, {}};
    return {S_ISSOCK(st.st_mode) ? TOutputKind::Socket : TOutputKind::Other, path, {}};
}

std::optional<QString> WriteRefusal(const QString& path, bool folder)
{
    // access() also tells a read-only filesystem, which permission bits do not.
    if (::access(Encoded(path).constData(), folder ? W_OK | X_OK : W_OK) != 0)
        return SystemText(errno);
    return std::nullopt;
}

bool WriteInPlace(const QString& path, QIODevice& from, QString& reason)
{
    // A reader that went away fails the write instead of ending the program
    // before it has logged out of the unit.
    std::signal(SIGPIPE, SIG_IGN);
    if (path == StandardOutput) {
        std::fflush(stdout);
        return CopyInto(from, STDOUT_FILENO, reason);
    }
    // No O_CREAT: the device or pipe is there, and only it is written.
    const int fd = ::open(Encoded(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = SystemText(errno);
        return false;
    }
    const bool written = CopyInto(from, fd, reason);
    if (::close(fd) != 0 && written) {
        reason = SystemText(errno);
        return false;
    }
    return written;
}

bool ReplaceWhole(const QString& target, QIODevice& from, TFileAccess access, QString& reason)
{
    QString temporary;
    const int fd = CreateBeside(target, access, temporary);
    if (fd < 0) {
        reason = SystemText(errno);
        return false;
    }
    bool done = CopyInto(from, fd, reason);
    if (done && ::fsync(fd) != 0) {
        reason = SystemText(errno);
        done = false;
    }
    if (::close(fd) != 0 && done) {
        reason = SystemText(errno);
        done = false;
    }
    // rename(2) replaces the target in one step, which QFile::rename does not.
    if (done && std::rename(Encoded(temporary).constData(), Encoded(target).constData()) != 0) {
        reason = SystemText(errno);
        done = false;
    }
    if (!done)
        ::unlink(Encoded(temporary).constData());
    return done;
}

TMoveResult MoveOver(const QString& finished, const QString& target, QString& reason)
{
    if (std::rename(Encoded(finished).constData(), Encoded(target).constData()) == 0)
        return TMoveResult::Moved;
    if (errno == EXDEV)
        return TMoveResult::OtherFilesystem;
    reason = SystemText(errno);
    return TMoveResult::Failed;
}
