#pragma once
// Shared test fixtures: a message sink that records every box and answers from a
// script, and a pseudo-terminal pair that stands for the serial line.

#include "session/MessageSink.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <mutex>

class TChildProcess;

namespace TestSupport {

// What a program a test started left behind.
struct TProgramRun {
    int Exit = -1;
    QByteArray Out;
    QByteArray Errors;
};

// Reads the program's output until it has ended (within limitMs), then takes
// its exit code and its standard error.
TProgramRun FinishRun(TChildProcess& program, int limitMs);

// Records every message box; answers confirmations and password prompts from
// queues filled by the test (an empty queue declines / cancels). Install it for
// the lifetime of a test with TSinkGuard.
class TRecordingSink : public TMessageSink {
public:
    void ShowMessage(TMsgKind kind, const QString& text) override;
    bool Confirm(const QString& text, TConfirmButtons buttons) override;
    TPasswordAnswer AskPassword(QString& password) override;

    // Texts of every box so far, errors and warnings prefixed "E: " / "W: ",
    // confirmations "Q: ", password prompts "P".
    QStringList Log() const;
    QStringList Errors() const;
    void Clear();

    void QueueConfirm(bool answer);
    void QueuePassword(const QString& password); // answered as Entered
    void QueuePasswordAnswer(TPasswordAnswer answer, const QString& password = {});

private:
    mutable std::mutex m_mutex;
    QStringList m_log;
    std::deque<bool> m_confirms;
    std::deque<std::pair<TPasswordAnswer, QString>> m_passwords;
};

class TSinkGuard {
public:
    explicit TSinkGuard(TMessageSink* sink) { SetMessageSink(sink); }
    ~TSinkGuard() { SetMessageSink(nullptr); }
};

// A pseudo-terminal in raw mode. The program opens SlavePath() as its serial
// device; the test plays the unit on the master side.
class TPtyPair {
public:
    TPtyPair();
    ~TPtyPair();
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    QString SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }
    void Write(const QByteArray& bytes);
    // Reads what is waiting, waiting up to timeoutMs for the first byte.
    QByteArray Read(int timeoutMs);
    // Reads until `needle` has arrived or timeoutMs passed; returns all read.
    QByteArray ReadUntil(const QByteArray& needle, int timeoutMs);
    void CloseMaster();

private:
    int m_master = -1;
    int m_slaveKeep = -1; // keeps the line up while the program reopens it
    QString m_slavePath;
};

} // namespace TestSupport
