#pragma once
// A timestamped record of everything the emulated unit receives and sends, and
// of its own events (transfers, faults), for reading after a test or a demo.

#include <QByteArray>
#include <QFile>
#include <QString>

class TTrafficLog {
public:
    // An empty path keeps no log.
    bool Open(const QString& path, QString& error);
    void Received(const QByteArray& bytes) { Write("line>", Escaped(bytes)); }
    void Sent(const QByteArray& bytes) { Write("unit>", Escaped(bytes)); }
    void Note(const QString& text) { Write("note:", text.toUtf8()); }

private:
    // Control characters and bytes above 0x7E as C escapes, so binary data stays on one line.
    static QByteArray Escaped(const QByteArray& bytes);
    void Write(const char* tag, const QByteArray& text);
    QFile m_file;
};
