#include "VoiceStore.h"

#include "ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Errno()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// File names in `folder` as raw bytes: a received name in Windows-1251 need not
// survive a round trip through QString.
QList<QByteArray> RegularFiles(const QString& folder)
{
    QList<QByteArray> names;
    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = opendir(path.constData());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        struct stat st{};
        const QByteArray name(entry->d_name);
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            names << name;
    }
    closedir(dir);
    return names;
}

} // namespace

QString SysVoiceKey(int code)
{
    return QStringLiteral("sys-%1").arg(code);
}

QString MenuVoiceKey(int menu)
{
    return QStringLiteral("menu-%1").arg(menu);
}

bool TVoiceStore::Open(const QString& folder, QString& error)
{
    m_folder = QDir(folder).absolutePath();
    if (!QDir().mkpath(m_folder)) {
        error = QStringLiteral("cannot create the voice folder %1").arg(m_folder);
        return false;
    }
    TScratchFolder::RemoveLeftovers(m_folder);
    return true;
}

QString TVoiceStore::DataPath(const QString& key) const
{
    return m_folder + QLatin1Char('/') + key + QStringLiteral(".dat");
}

TVoiceFile TVoiceStore::Info(const QString& key) const
{
    const QByteArray name = m_names.value(key);
    if (name.isEmpty())
        return {};
    return {name, QFileInfo(DataPath(key)).size()};
}

bool TVoiceStore::Put(const QString& key, const QByteArray& name, const QByteArray& data)
{
    QSaveFile file(DataPath(key));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return false;
    m_names[key] = SafeName(name);
    return true;
}

void TVoiceStore::Clear(const QString& key)
{
    m_names.remove(key);
    QFile::remove(DataPath(key));
}

bool TVoiceStore::Adopt(const QString& key, const QString& incoming, QString& error)
{
    const QList<QByteArray> files = RegularFiles(incoming);
    if (files.size() != 1) {
        error = QStringLiteral("the transfer left %1 files instead of one").arg(files.size());
        return false;
    }
    const QByteArray from = QFile::encodeName(incoming) + '/' + files.front();
    if (::rename(from.constData(), QFile::encodeName(DataPath(key)).constData()) != 0) {
        error = QStringLiteral("cannot store the received file: %1").arg(Errno());
        return false;
    }
    m_names[key] = SafeName(files.front());
    return true;
}

bool TVoiceStore::Stage(const QString& key, const QString& folder, QString& error) const
{
    const QByteArray name = m_names.value(key);
    const QByteArray link = QFile::encodeName(folder) + '/' + name;
    if (name.isEmpty() || ::symlink(QFile::encodeName(DataPath(key)).constData(), link.constData()) != 0) {
        error = QStringLiteral("cannot prepare the recording for sending: %1").arg(Errno());
        return false;
    }
    return true;
}

void TVoiceStore::Restore(const QMap<QString, QByteArray>& names)
{
    m_names.clear();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        const QByteArray name = SafeName(it.value());
        if (name.isEmpty() || !QFileInfo::exists(DataPath(it.key())))
            std::fprintf(stderr, "parlotel-unit: recording %s has no data, dropped\n", qPrintable(it.key()));
        else
            m_names[it.key()] = name;
    }
}

QByteArray TVoiceStore::SafeName(const QByteArray& raw)
{
    QByteArray name = raw.left(MaxNameBytes);
    for (char& c : name) {
        const auto b = static_cast<unsigned char>(c);
        // 0x98 has no character in Windows-1251.
        if (b <= 0x20 || b == 0x7F || b == 0x98 || c == '/')
            c = '_';
    }
    return name;
}
