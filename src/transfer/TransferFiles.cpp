#include "TransferFiles.h"

#include "serial/SpSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>

namespace {

constexpr qint64 CopyChunk = 64 * 1024;

QString Shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString WriteFailure(const QString& target, const QString& reason)
{
    return QStringLiteral("Не удалось записать файл %1: %2").arg(Shown(target), reason);
}

// Across filesystems: QSaveFile writes beside the target and renames only on
// commit, so a failure part-way leaves the old file as it was.
bool CopyReplacing(const QString& received, const QString& target, QString& error)
{
    QFile in(received);
    if (!in.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Не удалось прочитать принятый файл: ") + in.errorString();
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        error = WriteFailure(target, out.errorString());
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(CopyChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            error = QStringLiteral("Не удалось прочитать принятый файл: ") + in.errorString();
            return false;
        }
        if (out.write(chunk) != chunk.size())
            break; // reported by commit
    }
    if (!out.commit()) {
        error = WriteFailure(target, out.errorString());
        return false;
    }
    return true;
}

} // namespace

TSendRefusal FileToSendRefusal(const QString& path, QString& reason)
{
    const QFileInfo info(path);
    if (!info.exists())
        return TSendRefusal::Missing;
    if (info.isDir())
        return TSendRefusal::Folder;
    // A pipe or a device would block the transfer or never end.
    if (!info.isFile())
        return TSendRefusal::NotRegular;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return TSendRefusal::Unreadable;
    }
    return file.size() == 0 ? TSendRefusal::Empty : TSendRefusal::None;
}

bool CheckFileToSend(const QString& path, QString& error)
{
    QString reason;
    switch (FileToSendRefusal(path, reason)) {
    case TSendRefusal::None: return true;
    case TSendRefusal::Missing: error = QStringLiteral("Файл не найден: ") + Shown(path); break;
    case TSendRefusal::Folder: error = QStringLiteral("Это папка, а не файл: ") + Shown(path); break;
    case TSendRefusal::NotRegular: error = QStringLiteral("Это не обычный файл: ") + Shown(path); break;
    case TSendRefusal::Unreadable:
        error = QStringLiteral("Не удалось открыть файл %1: %2").arg(Shown(path), reason);
        break;
    case TSendRefusal::Empty: error = QStringLiteral("Файл пуст: ") + Shown(path); break;
    }
    return false;
}

bool PlaceReceivedFile(const QString& received, const QString& target, QString& error)
{
    // rename(2) replaces the target atomically, which QFile::rename does not.
    if (std::rename(QFile::encodeName(received).constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    const int err = errno;
    if (err == EXDEV)
        return CopyReplacing(received, target, error);
    error = WriteFailure(target, spErrorText(err));
    return false;
}
