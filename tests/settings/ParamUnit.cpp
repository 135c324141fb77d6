#include "ParamUnit.h"

namespace TestSupport {

namespace {

const QByteArray MenuPrompt = QByteArrayLiteral("PC SYS>");

class TCallJob : public TJoint {
public:
    explicit TCallJob(std::function<void()> fn) : m_fn(std::move(fn)) {}
    bool Process() override { return m_fn(), true; }

private:
    std::function<void()> m_fn;
};

} // namespace

TParamUnit::TParamUnit(TPtyPair& pty) : m_pty(pty), m_thread([this] { Play(); }) {}

TParamUnit::~TParamUnit()
{
    m_stop = true;
    m_thread.join();
}

void TParamUnit::Set(int code, const QByteArray& value, const TFaults& faults)
{
    std::lock_guard lock(m_mutex);
    m_values[code] = value;
    m_faults[code] = faults;
}

void TParamUnit::SetSilent(bool silent)
{
    std::lock_guard lock(m_mutex);
    m_silent = silent;
}

TLines TParamUnit::TakeLines()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_lines, {});
}

void TParamUnit::Play()
{
    // Short slices only to notice the stop request.
    while (!m_stop) {
        for (char byte : m_pty.Read(50)) {
            std::lock_guard lock(m_mutex);
            if (m_silent)
                continue;
            if (m_step != SetValue || m_faults.value(m_code).EchoValue)
                m_pty.Write(byte == '\r' ? QByteArray("\r\n") : QByteArray(1, byte));
            if (byte != '\r') {
                m_line += byte;
                continue;
            }
            m_lines << std::exchange(m_line, {});
            Answer(m_lines.back());
        }
    }
}

// Called with the tables locked.
void TParamUnit::Answer(const QByteArray& line)
{
    switch (m_step) {
    case Command:
        m_step = line == "GET" ? GetCode : line == "SET" ? SetCode : Command;
        m_pty.Write(m_step == Command ? "ERROR\r\n" + MenuPrompt : QByteArray("N"));
        return;
    case GetCode:
        m_step = Command;
        m_pty.Write(m_faults.value(line.toInt()).GetReply.value_or("=" + m_values.value(line.toInt()) + "\r\n")
                    + MenuPrompt);
        return;
    case SetCode: {
        m_code = line.toInt();
        const QByteArray prompt = m_faults.value(m_code).SetPrompt.value_or("=");
        m_step = prompt.contains('=') ? SetValue : Command;
        m_pty.Write(prompt);
        return;
    }
    case SetValue:
        m_step = Command;
        m_values[m_code] = m_faults.value(m_code).StoreInstead.value_or(line);
        m_pty.Write(m_faults.value(m_code).FinalReply.value_or("OK\r\n") + MenuPrompt);
        return;
    }
}

bool TParamRig::RunOnWorker(std::function<void()> fn)
{
    m_calls.push_back(std::make_unique<TCallJob>(std::move(fn)));
    return Run(*m_calls.back(), 1);
}

} // namespace TestSupport
