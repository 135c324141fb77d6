#include "OutputFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
const QString StandardOutput = QStringLiteral("-");

enum class TKind { New, Regular, Stream, Folder, Socket, Other };

// What path is now, following symbolic links; for a regular file its real
// path (the file a rename must replace), else path itself.
struct TTarget {
    TKind Kind = TKind::New;
    QString Path;
    int Error = 0; // why it could not be looked at, when not simply missing
};

QByteArray Encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

TTarget Look(const QString& path)
{
    if (path == StandardOutput)
        return {TKind::Stream, path, 0};
    struct stat st {};
    if (::stat(Encoded(path).constData(), &st) != 0)
        return {TKind::New, path, errno == ENOENT || errno == ENOTDIR ? 0 : errno};
    if (S_ISREG(st.st_mode))
        return {TKind::Regular, QFileInfo(path).canonicalFilePath(), 0};
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
        return {TKind::Stream, path, 0};
    if (S_ISDIR(st.st_mode))
        return {TKind::Folder, path, 0};
    return {S_ISSOCK(st.st_mode) ? TKind::Socket : TKind::Other, path, 0};
}

// The folder a new or replaced file is created in must exist and take files.
std::optional<QString> FolderProblem(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(folder));
    if (!info.isDir())
        return QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder));
    // access() also tells a read-only filesystem, which permission bits do not.
    if (::access(Encoded(folder).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("the folder %1: %2").arg(QDir::toNativeSeparators(folder), SystemText(errno));
    return std::nullopt;
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

bool WriteInPlace(const TTarget& target, QIODevice& from, QString& reason)
{
    // A reader that went away fails the write instead of ending the program
    // before it has logged out of the unit.
    std::signal(SIGPIPE, SIG_IGN);
    if (target.Path == StandardOutput) {
        std::fflush(stdout);
        return CopyInto(from, STDOUT_FILENO, reason);
    }
    // No O_CREAT: the device or pipe is there, and only it is written.
    const int fd = ::open(Encoded(target.Path).constData(), O_WRONLY | O_CLOEXEC);
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

// The contents into a temporary file beside target, synced, then renamed over it.
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

std::optional<QString> Problem(const QString& path, const TTarget& target)
{
    if (path.isEmpty())
        return QStringLiteral("no file name");
    switch (target.Kind) {
    case TKind::New:
        if (target.Error)
            return SystemText(target.Error);
        return FolderProblem(path);
    case TKind::Regular:
        if (::access(Encoded(target.Path).constData(), W_OK) != 0)
            return SystemText(errno);
        return FolderProblem(target.Path);
    case TKind::Stream:
        if (path != StandardOutput && ::access(Encoded(path).constData(), W_OK) != 0)
            return SystemText(errno);
        return std::nullopt;
    case TKind::Folder:
        return QStringLiteral("it is a folder");
    case TKind::Socket:
        return QStringLiteral("it is a socket, not a file");
    case TKind::Other:
        break;
    }
    return QStringLiteral("it is a block device or another special file, not a file");
}

// The contents to a target that has no problem.
bool WriteTo(const TTarget& target, QIODevice& from, TFileAccess access, QString& reason)
{
    if (target.Kind == TKind::Stream)
        return WriteInPlace(target, from, reason);
    return ReplaceWhole(target.Path, from, access, reason);
}

} // namespace

std::optional<QString> OutputProblem(const QString& path)
{
    return Problem(path, Look(path));
}

bool CheckOutputFile(const QString& path, QString& error)
{
    const auto problem = OutputProblem(path);
    if (problem && path.isEmpty())
        error = QStringLiteral("a file name is needed");
    else if (problem)
        error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), *problem);
    return !problem;
}

bool WriteOutputFile(const QString& path, const QByteArray& bytes, TFileAccess access, QString& reason)
{
    const TTarget target = Look(path);
    if (const auto problem = Problem(path, target)) {
        reason = *problem;
        return false;
    }
    QBuffer from;
    from.setData(bytes);
    from.open(QIODevice::ReadOnly);
    return WriteTo(target, from, access, reason);
}

bool PlaceOutputFile(const QString& finished, const QString& path, QString& reason)
{
    const TTarget target = Look(path);
    if (const auto problem = Problem(path, target)) {
        reason = *problem;
        return false;
    }
    if (target.Kind != TKind::Stream) {
        if (std::rename(Encoded(finished).constData(), Encoded(target.Path).constData()) == 0)
            return true;
        if (errno != EXDEV) {
            reason = SystemText(errno);
            return false;
        }
    }
    QFile from(finished);
    if (!from.open(QIODevice::ReadOnly)) {
        reason = from.errorString();
        return false;
    }
    return WriteTo(target, from, TFileAccess::Default, reason);
}

QString OutputPath(const QString& path)
{
    return path == StandardOutput ? QStringLiteral("/dev/stdout") : path;
}
