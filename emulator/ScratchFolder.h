#pragma once
// A private folder for one transfer, removed with everything in it when done.
// Unlike QTemporaryDir it removes entries by their raw byte names, which a
// Windows-1251 file name needs.

#include <QString>

class TScratchFolder {
public:
    // Creates a new folder inside parent; Path() is empty when that failed.
    explicit TScratchFolder(const QString& parent);
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    QString Path() const { return m_path; }
    // Removes what a unit that was killed mid-transfer left in parent.
    static void RemoveLeftovers(const QString& parent);

private:
    QString m_path;
};
