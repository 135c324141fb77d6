#pragma once
// The line trace (--trace FILE): every byte sent to and received from the unit,
// with a millisecond time and its direction, as readable text. Bytes of one
// direction that follow each other within a few milliseconds share a line; a
// password sent by the session shows as stars, and so does its echo; YModem
// blocks are summarised. The file is flushed every few hundred milliseconds, so
// that a crash loses at most that much; a file the system would not take is
// told when the trace closes, so that a lost trace is never taken for a whole one.

#include "TraceStream.h"
#include "session/Comm.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

class TLineTrace : public TLineTap {
public:
    // Consecutive bytes of one direction closer than this share a line.
    static constexpr int JoinMs = 5;
    static constexpr int FlushMs = 200;

    TLineTrace() = default;
    // Closes the file unless Close did.
    ~TLineTrace() override;
    TLineTrace(const TLineTrace&) = delete;
    TLineTrace& operator=(const TLineTrace&) = delete;

    // Creates (or empties) the file, or opens the device or pipe ("-":
    // standard output); false with reason (the system's words alone).
    bool Open(const QString& path, QString& reason);
    // Writes what is pending and closes the file; false with error (the
    // system's words) when any of the trace could not be written.
    bool Close(QString& error);
    // For a program about to end at once: writes out what is pending unless
    // another thread holds the trace just now (what is pending is then lost).
    void FlushIfFree();

    void Sent(const QByteArray& bytes) override;
    void SentSecret(const QByteArray& bytes) override;
    void Received(const QByteArray& bytes) override;
    void SecretValue(bool on) override;
    // A line of its own, marked " : " where bytes are marked " > " and " < ".
    void Note(const QString& text) override;

private:
    using TClock = std::chrono::system_clock;
    enum TDirection { dSent, dReceived, dNote };

    void Add(TDirection direction, const std::vector<TTraceStream::TPiece>& pieces);
    void WritePending();
    void WriteLine(TClock::time_point at, TDirection direction, const QString& text);
    void Flush();
    void FlushLoop();

    std::mutex m_lock;
    std::condition_variable m_wake;
    QString m_path;
    std::FILE* m_file = nullptr;
    int m_writeError = 0; // the first errno of a failed write
    bool m_stop = false;
    bool m_dirty = false;
    TTraceStream m_streams[2];
    // The line being joined.
    bool m_pending = false;
    TDirection m_direction = dSent;
    TClock::time_point m_first;
    TClock::time_point m_last;
    QString m_text;
    std::thread m_flusher;
};
