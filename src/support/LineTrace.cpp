#include "LineTrace.h"

#include "OutputFile.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstring>

namespace {

QString TimeText(std::chrono::system_clock::time_point at)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("HH:mm:ss.zzz"));
}

} // namespace

TLineTrace::~TLineTrace()
{
    QString error;
    Close(error);
}

bool TLineTrace::Close(QString& error)
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_flusher.joinable())
        m_flusher.join();
    std::lock_guard lock(m_lock);
    if (!m_file)
        return true;
    for (TDirection direction : {dSent, dReceived})
        Add(direction, m_streams[direction].Finish());
    WritePending();
    Flush();
    if (std::fclose(m_file) != 0 && !m_writeError)
        m_writeError = errno;
    m_file = nullptr;
    if (!m_writeError)
        return true;
    error = QStringLiteral("Не удалось записать файл трассировки %1: %2")
                .arg(m_path, QString::fromLocal8Bit(std::strerror(m_writeError)));
    return false;
}

void TLineTrace::FlushIfFree()
{
    std::unique_lock lock(m_lock, std::try_to_lock);
    if (!lock.owns_lock() || !m_file)
        return;
    WritePending();
    Flush();
}

bool TLineTrace::Open(const QString& path, QString& reason)
{
    // Written as it comes, in place: a regular file is emptied first.
    std::FILE* file = std::fopen(QFile::encodeName(OutputPath(path)).constData(), "w");
    if (!file) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_file = file;
    m_path = path;
    const QString head = QStringLiteral("# parlotel line trace, times UTC, started ")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        + QStringLiteral("; > to the unit, < from the unit\n");
    if (std::fputs(head.toUtf8().constData(), m_file) < 0 && !m_writeError)
        m_writeError = errno;
    Flush();
    m_flusher = std::thread([this] { FlushLoop(); });
    return true;
}

void TLineTrace::Sent(const QByteArray& bytes)
{
    std::lock_guard lock(m_lock);
    Add(dSent, m_streams[dSent].Feed(bytes));
}

void TLineTrace::SentSecret(const QByteArray& bytes)
{
    std::lock_guard lock(m_lock);
    Add(dSent, m_streams[dSent].FeedSecret(bytes));
    m_streams[dReceived].MaskEcho(bytes);
}

void TLineTrace::Received(const QByteArray& bytes)
{
    std::lock_guard lock(m_lock);
    Add(dReceived, m_streams[dReceived].Feed(bytes));
}

void TLineTrace::SecretValue(bool on)
{
    std::lock_guard lock(m_lock);
    m_streams[dReceived].MaskValue(on);
}

void TLineTrace::Note(const QString& text)
{
    std::lock_guard lock(m_lock);
    if (!m_file)
        return;
    WritePending();
    WriteLine(TClock::now(), dNote, text);
    m_wake.notify_one();
}

// With the lock held (or after the flusher ended).
void TLineTrace::Add(TDirection direction, const std::vector<TTraceStream::TPiece>& pieces)
{
    if (!m_file)
        return;
    const TClock::time_point now = TClock::now();
    for (const TTraceStream::TPiece& piece : pieces) {
        const bool joins = m_pending && !piece.Block && m_direction == direction
            && now - m_last <= std::chrono::milliseconds(JoinMs);
        if (!joins)
            WritePending();
        if (piece.Block) {
            WriteLine(now, direction, piece.Text);
            continue;
        }
        if (!m_pending) {
            m_pending = true;
            m_direction = direction;
            m_first = now;
            m_text.clear();
        }
        m_text += piece.Text;
        m_last = now;
    }
    m_wake.notify_one();
}

void TLineTrace::WritePending()
{
    if (!m_pending)
        return;
    m_pending = false;
    WriteLine(m_first, m_direction, m_text);
}

void TLineTrace::WriteLine(TClock::time_point at, TDirection direction, const QString& text)
{
    static const char* const marks[] = {" > ", " < ", " : "};
    const QString line = TimeText(at) + QLatin1String(marks[direction]) + text
        + QLatin1Char('\n');
    if (std::fputs(line.toUtf8().constData(), m_file) < 0 && !m_writeError)
        m_writeError = errno;
    m_dirty = true;
}

void TLineTrace::Flush()
{
    if (std::fflush(m_file) != 0 && !m_writeError)
        m_writeError = errno;
    m_dirty = false;
}

// Ends a line once its direction has been quiet for the joining time, and
// hands what is written to the system at most FlushMs after it was written.
// Sleeps while there is nothing to do.
void TLineTrace::FlushLoop()
{
    std::unique_lock lock(m_lock);
    TClock::time_point lastFlush = TClock::now();
    while (!m_stop) {
        if (m_pending)
            m_wake.wait_until(lock, m_last + std::chrono::milliseconds(JoinMs + 1));
        else if (m_dirty)
            m_wake.wait_until(lock, lastFlush + std::chrono::milliseconds(FlushMs));
        else
            m_wake.wait(lock);
        const TClock::time_point now = TClock::now();
        if (m_pending && now - m_last > std::chrono::milliseconds(JoinMs))
            WritePending();
        if (m_dirty && now - lastFlush >= std::chrono::milliseconds(FlushMs)) {
            Flush();
            lastFlush = now;
        }
    }
}
