#pragma once
// What every fuzz target shares: the application the program's threads hand
// their calls to, the reading of a fuzz input, the unit played from that input
// on the line exchange's tap, a sink that swallows message boxes, and the one
// way a target reports a fault (it aborts, so libFuzzer and the replay test
// both see it).

#include "session/Comm.h"
#include "session/MessageSink.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Fuzz {

// Once per process, before any target runs: an offscreen application (the
// settings jobs show values in real widgets).
void InitApplication(int* argc, char*** argv);

// True with PARLOTEL_FUZZ_VERBOSE set: targets then say what each input did.
bool Verbose();

// Prints the fault and aborts.
[[noreturn]] void Fail(const char* format, ...);
inline void Check(bool ok, const char* what)
{
    if (!ok)
        Fail("%s", what);
}

// Reads a fuzz input front to back; past its end every read gives nothing.
class TInput {
public:
    TInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_pos >= m_size; }
    uint8_t Byte() { return AtEnd() ? 0 : m_data[m_pos++]; }
    QByteArray Take(size_t count);
    // A length byte, then that many bytes (fewer at the end).
    QByteArray Burst() { return Take(Byte()); }
    QByteArray Rest() { return Take(m_size - std::min(m_pos, m_size)); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// The unit, played from the input: every time the program waits for its
// answer, the next burst of the input arrives, handed to the port in the main
// thread just as a device's bytes are. An empty burst is silence: that wait
// runs out. With the input used up the unit hangs up, so every later wait
// fails at once instead of costing time.
class TFarEnd : public TLineTap {
public:
    TFarEnd(TFormComm& comm, TInput& input);
    ~TFarEnd() override;

    // Called with each burst just before it is delivered.
    std::function<void(const QByteArray& burst)> OnDeliver;
    // Everything the program sent.
    QByteArray SentBytes;

    void Sent(const QByteArray& bytes) override { SentBytes += bytes; }
    void Received(const QByteArray&) override {}
    TVerdict Waiting(const QByteArray& awaited) override;

private:
    TFormComm& m_comm;
    TInput& m_input;
};

// Counts boxes and declines every question, so that nothing waits for a person.
// Verbose, it prints each box.
class TQuietSink : public TMessageSink {
public:
    void ShowMessage(TMsgKind, const QString& text) override;
    bool Confirm(const QString&, TConfirmButtons) override { return false; }
    TPasswordAnswer AskPassword(QString&) override { return TPasswordAnswer::Cancelled; }
    int Messages = 0;
};

// How long a job or a transfer may take before it counts as hung. Nothing the
// targets run waits on the clock, so anything near this is a fault.
constexpr int HangLimitMs = 20000;

} // namespace Fuzz
