#pragma once
// The unit's voice recordings on disk: one data file per recording place
// ("sys-60" for the system menu's code 60, "menu-5" for menu 5), with the name
// it arrived under kept apart, since names are Windows-1251 bytes that need
// not be valid file names here.

#include <QByteArray>
#include <QMap>
#include <QString>

struct TVoiceFile {
    QByteArray Name; // empty: nothing recorded
    qint64 Length = 0;
};

QString SysVoiceKey(int code);
QString MenuVoiceKey(int menu);

class TVoiceStore {
public:
    // Longer names are cut: the unit keeps short names only.
    static constexpr int MaxNameBytes = 64;

    bool Open(const QString& folder, QString& error);
    QString Folder() const { return m_folder; }

    TVoiceFile Info(const QString& key) const;
    // Name and data of a recording; false when the data cannot be written.
    bool Put(const QString& key, const QByteArray& name, const QByteArray& data);
    void Clear(const QString& key);
    // Takes the one file a YModem receive left in `incoming` as the recording
    // under key. False (and nothing changed) unless exactly one file is there.
    bool Adopt(const QString& key, const QString& incoming, QString& error);
    // Makes `folder` hold the recording under its own name, for a sender.
    bool Stage(const QString& key, const QString& folder, QString& error) const;

    // The names, for the state file; Restore drops names whose data is missing.
    const QMap<QString, QByteArray>& Names() const { return m_names; }
    void Restore(const QMap<QString, QByteArray>& names);

    // Blanks and control bytes would break the "MSG=" name length reply.
    static QByteArray SafeName(const QByteArray& raw);

private:
    QString DataPath(const QString& key) const;
    QString m_folder;
    QMap<QString, QByteArray> m_names;
};
