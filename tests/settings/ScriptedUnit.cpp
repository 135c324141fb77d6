#include "ScriptedUnit.h"

#include "TestSupport.h"

const QByteArray TScriptedUnit::MenuPrompt = QByteArrayLiteral("PC SYS>");

TScriptedUnit::TScriptedUnit(TPtyPair& pty)
    : m_pty(pty)
    , m_thread([this] { Run(); })
{
}

TScriptedUnit::~TScriptedUnit()
{
    m_stop = true;
    m_thread.join();
}

void TScriptedUnit::SetValue(int code, const QByteArray& value)
{
    std::lock_guard lock(m_mutex);
    m_values[code] = value;
}

QByteArray TScriptedUnit::Value(int code) const
{
    std::lock_guard lock(m_mutex);
    return m_values.value(code);
}

void TScriptedUnit::SetFaults(int code, const TFaults& faults)
{
    std::lock_guard lock(m_mutex);
    m_faults[code] = faults;
}

void TScriptedUnit::SetSilent(bool silent)
{
    std::lock_guard lock(m_mutex);
    m_silent = silent;
}

QList<QByteArray> TScriptedUnit::Lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

void TScriptedUnit::ClearLines()
{
    std::lock_guard lock(m_mutex);
    m_lines.clear();
}

TScriptedUnit::TFaults TScriptedUnit::FaultsOf(int code) const
{
    std::lock_guard lock(m_mutex);
    return m_faults.value(code);
}

void TScriptedUnit::Run()
{
    // Polls in short slices only to notice the stop request.
    while (!m_stop)
        for (char byte : m_pty.Read(50))
            Receive(byte);
}

void TScriptedUnit::Receive(char byte)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_silent)
            return;
    }
    const bool echo = m_step != TStep::SetValue || FaultsOf(m_code).EchoValue;
    if (echo)
        m_pty.Write(byte == '\r' ? QByteArrayLiteral("\r\n") : QByteArray(1, byte));
    if (byte != '\r') {
        m_line += byte;
        return;
    }
    const QByteArray line = m_line;
    m_line.clear();
    {
        std::lock_guard lock(m_mutex);
        m_lines << line;
    }
    LineDone(line);
}

void TScriptedUnit::LineDone(const QByteArray& line)
{
    switch (m_step) {
    case TStep::Command:
        if (line == "GET" || line == "SET") {
            m_step = line == "GET" ? TStep::GetCode : TStep::SetCode;
            m_pty.Write("N");
        } else {
            m_pty.Write("ERROR\r\n" + MenuPrompt);
        }
        return;
    case TStep::GetCode: {
        m_step = TStep::Command;
        const int code = line.toInt();
        m_pty.Write(FaultsOf(code).GetReply.value_or("=" + Value(code) + "\r\n") + MenuPrompt);
        return;
    }
    case TStep::SetCode: {
        m_code = line.toInt();
        const TFaults faults = FaultsOf(m_code);
        m_step = faults.SetPrompt && !faults.SetPrompt->contains('=') ? TStep::Command : TStep::SetValue;
        m_pty.Write(faults.SetPrompt.value_or("="));
        return;
    }
    case TStep::SetValue: {
        m_step = TStep::Command;
        const TFaults faults = FaultsOf(m_code);
        SetValue(m_code, faults.StoreInstead.value_or(line));
        m_pty.Write(faults.FinalReply.value_or("OK\r\n") + MenuPrompt);
        return;
    }
    }
}
