#include "VoiceStore.h"

#include "RawFiles.h"
#include "ScratchFolder.h"

#include <QDir>

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

QString TVoiceStore::PlaceOf(const QString& key) const
{
    return m_folder + QLatin1Char('/') + key;
}

TVoiceFile TVoiceStore::Info(const QString& key) const
{
    const QByteArray place = RawPath(PlaceOf(key));
    const QList<QByteArray> files = RegularFiles(place);
    if (files.isEmpty())
        return {};
    return {files.front(), qMax<qint64>(0, RawFileSize(place + '/' + files.front()))};
}

bool TVoiceStore::Put(const QString& key, const QByteArray& name, const QByteArray& data)
{
    Clear(key);
    const QByteArray place = RawPath(PlaceOf(key));
    return MakeRawFolder(place) && WriteRawFile(place + '/' + SafeName(name), data);
}

void TVoiceStore::Clear(const QString& key)
{
    RemoveTree(RawPath(PlaceOf(key)));
}

void TVoiceStore::ClearAll()
{
    RemoveTree(RawPath(m_folder));
    MakeRawFolder(RawPath(m_folder));
}

bool TVoiceStore::Adopt(const QString& key, const QString& incoming, QString& error)
{
    const QList<QByteArray> files = RegularFiles(RawPath(incoming));
    if (files.size() != 1) {
        error = QStringLiteral("the transfer left %1 files instead of one").arg(files.size());
        return false;
    }
    // The new recording is filed in a folder of its own, which then trades
    // places with the old one in one step: a crash leaves one or the other.
    const QByteArray place = RawPath(PlaceOf(key));
    const QByteArray fresh = RawPath(incoming) + "/place";
    if (!MakeRawFolder(fresh) || !MoveRaw(RawPath(incoming) + '/' + files.front(), fresh + '/' + SafeName(files.front()))) {
        error = QStringLiteral("cannot file the received recording: %1").arg(RawFilesError());
        return false;
    }
    if (!SwapRawFolders(fresh, place)) {
        error = QStringLiteral("cannot store the received recording: %1").arg(RawFilesError());
        return false;
    }
    return true; // the old recording, if any, went with the transfer's folder
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
