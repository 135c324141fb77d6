#pragma once
// The unit's voice recordings on disk: one folder per recording place
// ("sys-60" for the system menu's code 60, "menu-5" for menu 5) holding the
// recording under the name it arrived with in its YModem header.

#include <QByteArray>
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
    // The folder that holds key's recording, for a sender to send it from.
    QString PlaceOf(const QString& key) const;

    TVoiceFile Info(const QString& key) const;
    // Records data under key; false when it cannot be written.
    bool Put(const QString& key, const QByteArray& name, const QByteArray& data);
    void Clear(const QString& key);
    // Removes every recording: the factory state starts from an empty folder.
    void ClearAll();
    // Takes the one file a YModem receive left in `incoming` as the recording
    // under key. False (and nothing changed) unless exactly one file is there.
    bool Adopt(const QString& key, const QString& incoming, QString& error);

private:
    // Blanks and control bytes would break the "MSG=" name length reply.
    static QByteArray SafeName(const QByteArray& raw);
    QString m_folder;
};
