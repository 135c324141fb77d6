#pragma once
// Small file helpers for tests that move files: sound-like contents, writing
// and reading whole files.

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

// Random bytes, repeatable by seed, that end in the padding byte 0x1A: a
// receiver that keeps a last block's padding or drops real bytes shows it.
inline QByteArray SoundBytes(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& byte : data)
        byte = char(random.bounded(256));
    for (int i = std::max(0, size - 5); i < size; ++i)
        data[i] = '\x1a';
    return data;
}

inline bool WriteTestFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// The whole file; "(unreadable)" when it cannot be read, so that it never
// equals expected contents.
inline QByteArray ReadTestFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}
