#include "TrafficLog.h"

#include <QTime>

bool TTrafficLog::Open(const QString& path, QString& error)
{
    if (path.isEmpty())
        return true;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = QStringLiteral("cannot open the traffic log %1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

QByteArray TTrafficLog::Escaped(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += '\\', out += c;
        else if (b < 0x20 || b > 0x7E)
            out += "\\x" + QByteArray::number(b, 16).rightJustified(2, '0');
        else
            out += c;
    }
    out += '"';
    return out;
}

void TTrafficLog::Write(const char* tag, const QByteArray& text)
{
    if (!m_file.isOpen())
        return;
    m_file.write(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1());
    m_file.write(" ");
    m_file.write(tag);
    m_file.write(" ");
    m_file.write(text);
    m_file.write("\n");
    m_file.flush();
}
