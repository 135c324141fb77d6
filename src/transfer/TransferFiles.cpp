#include "TransferFiles.h"

#include "support/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

// Why a file cannot be sent; the texts below follow this order.
enum TUnsendable { usMissing, usFolder, usSpecial, usUnreadable, usEmpty };

const char* const WindowTexts[] = {"Файл не найден: %1", "Это папка, а не файл: %1", "Это не обычный файл: %1",
                                   "Не удалось открыть файл %1: %2", "Файл пуст: %1"};
const char* const CommandLineTexts[] = {"file not found: %1", "%1 is a folder, not a file",
                                        "%1 is not a regular file", "cannot open %1: %2", "file is empty: %1"};

QString Shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// What keeps path from being sent; reason: the system's words for usUnreadable.
std::optional<TUnsendable> Unsendable(const QString& path, QString& reason)
{
    const QFileInfo info(path);
    if (!info.exists())
        return usMissing;
    if (info.isDir())
        return usFolder;
    // A pipe or a device would block the transfer or never end.
    if (!info.isFile())
        return usSpecial;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return usUnreadable;
    }
    if (file.size() == 0)
        return usEmpty;
    return std::nullopt;
}

bool Check(const QString& path, const char* const texts[], QString& error)
{
    QString reason;
    const auto problem = Unsendable(path, reason);
    if (problem) {
        const QString text = QString::fromUtf8(texts[*problem]);
        error = *problem == usUnreadable ? text.arg(Shown(path), reason) : text.arg(Shown(path));
    }
    return !problem;
}

} // namespace

bool CheckFileToSend(const QString& path, QString& error)
{
    return Check(path, WindowTexts, error);
}

bool CheckFileToSendArgument(const QString& path, QString& error)
{
    return Check(path, CommandLineTexts, error);
}

bool PlaceReceivedFile(const QString& received, const QString& target, QString& error)
{
    QString reason;
    if (PlaceOutputFile(received, target, reason))
        return true;
    error = QStringLiteral("Не удалось записать файл %1: %2").arg(Shown(target), reason);
    return false;
}
