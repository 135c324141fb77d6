#include "OutputFile.h"

#include "OutputFileSystem.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

TOutputTarget Look(const QString& path)
{
    if (path == StandardOutput)
        return {TOutputKind::Stream, path, {}};
    return LookAtOutput(path);
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
    if (const auto refusal = WriteRefusal(folder, true))
        return QStringLiteral("the folder %1: %2").arg(QDir::toNativeSeparators(folder), *refusal);
    return std::nullopt;
}

std::optional<QString> Problem(const QString& path, const TOutputTarget& target)
{
    if (path.isEmpty())
        return QStringLiteral("no file name");
    switch (target.Kind) {
    case TOutputKind::New:
        if (!target.Error.isEmpty())
            return target.Error;
        return FolderProblem(path);
    case TOutputKind::Regular:
        if (auto refusal = WriteRefusal(target.Path, false))
            return refusal;
        return FolderProblem(target.Path);
    case TOutputKind::Stream:
        if (path == StandardOutput)
            return std::nullopt;
        return WriteRefusal(path, false);
    case TOutputKind::Folder:
        return QStringLiteral("it is a folder");
    case TOutputKind::Socket:
        return QStringLiteral("it is a socket, not a file");
    case TOutputKind::Other:
        break;
    }
    return QStringLiteral("it is a block device or another special file, not a file");
}

// The contents to a target that has no problem.
bool WriteTo(const TOutputTarget& target, QIODevice& from, TFileAccess access, QString& reason)
{
    if (target.Kind == TOutputKind::Stream)
        return WriteInPlace(target.Path, from, reason);
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
    const TOutputTarget target = Look(path);
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
    const TOutputTarget target = Look(path);
    if (const auto problem = Problem(path, target)) {
        reason = *problem;
        return false;
    }
    if (target.Kind != TOutputKind::Stream) {
        switch (MoveOver(finished, target.Path, reason)) {
        case TMoveResult::Moved:
            return true;
        case TMoveResult::Failed:
            return false;
        case TMoveResult::OtherFilesystem:
            break; // copied below
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
