#pragma once
// Small byte and file helpers for tests: bytes by their values, sound-like contents,
// writing and reading whole files, the type of a node, and nodes that are no
// regular file (a pipe, a socket).

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace TestSupport {

// Bytes given by their values, as a protocol's tables write them.
inline QByteArray ByteValues(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out += char(uint8_t(v));
    return out;
}

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

// The node's type and permissions; a symbolic link itself, not where it leads.
inline mode_t ModeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

// A listening socket bound at path; closed with the object, the node stays.
class TSocketNode {
public:
    explicit TSocketNode(const QString& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (m_fd < 0 || size_t(name.size()) >= sizeof(address.sun_path))
            return;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~TSocketNode()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TSocketNode(const TSocketNode&) = delete;
    TSocketNode& operator=(const TSocketNode&) = delete;
    bool Bound() const { return m_bound; }

private:
    int m_fd;
    bool m_bound = false;
};

// The read end of a new pipe at path, opened first so that a writer neither
// waits for it nor finds nobody there; what was written is read back whole
// (less than the pipe holds).
class TPipeNode {
public:
    explicit TPipeNode(const QString& path)
    {
        if (::mkfifo(QFile::encodeName(path).constData(), 0600) == 0)
            m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~TPipeNode()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TPipeNode(const TPipeNode&) = delete;
    TPipeNode& operator=(const TPipeNode&) = delete;
    bool Open() const { return m_fd >= 0; }
    QByteArray ReadAll()
    {
        QByteArray all;
        char buffer[4096];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            all.append(buffer, n);
        return all;
    }

private:
    int m_fd = -1;
};

} // namespace TestSupport
