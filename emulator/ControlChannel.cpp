#include "ControlChannel.h"

#include "ParameterRules.h"
#include "TrafficLog.h"
#include "UnitFaults.h"
#include "UnitText.h"

#include <cstdio>

namespace {

void Answer(const QByteArray& text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// "on" / "off" into flag; false for anything else.
bool Switch(const QByteArray& word, bool& flag)
{
    if (word != "on" && word != "off")
        return false;
    flag = word == "on";
    return true;
}

// A whole number into target; false, target unchanged, for anything else.
bool Number(const QByteArray& word, int& target)
{
    const int value = ParseDecimal(word, 6);
    if (value < 0)
        return false;
    target = value;
    return true;
}

} // namespace

TControlChannel::TControlChannel(TUnitFaults& faults, TTrafficLog& log, TCounts counts)
    : m_faults(faults), m_log(log), m_counts(std::move(counts))
{
    connect(&m_input, &TControlInput::Chunk, this, &TControlChannel::OnChunk);
    connect(&m_input, &TControlInput::Closed, this, &TControlChannel::Closed);
}

void TControlChannel::OnChunk(const QByteArray& bytes)
{
    m_pending.append(bytes);
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end).trimmed();
        m_pending.remove(0, end + 1);
        if (!line.isEmpty())
            Execute(line);
    }
}

void TControlChannel::Execute(const QByteArray& line)
{
    m_log.Note(QStringLiteral("control: ") + QString::fromUtf8(line));
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words == QList<QByteArray>{"count"}) {
        Answer("count " + m_counts());
        return;
    }
    const QByteArray problem = words.front() == "fault" ? ApplyFault(words) : "unknown control line";
    Answer(problem.isEmpty() ? "ok " + line : "error " + line + ": " + problem);
}

QByteArray TControlChannel::ApplyFault(const QList<QByteArray>& words)
{
    if (words.size() == 2 && words[1] == "none") {
        m_faults = TUnitFaults{};
        return {};
    }
    if (words.size() == 4 && words[1] == "word")
        return ApplyWord(words[2], words[3]);
    if (words.size() != 3)
        return "expected: fault NAME VALUE";
    if (words[1] == "word")
        return ApplyWord(words[2], "0");
    const QByteArray& name = words[1];
    const QByteArray& value = words[2];
    bool understood = false;
    if (name == "silent")
        understood = Switch(value, m_faults.Silent);
    else if (name == "busy")
        understood = Switch(value, m_faults.Busy);
    else if (name == "bytewise")
        understood = Switch(value, m_faults.Bytewise);
    else if (name == "garbage")
        understood = Switch(value, m_faults.Garbage);
    else if (name == "delay")
        understood = Number(value, m_faults.ReplyDelayMs);
    else if (name == "ymodem")
        understood = Number(value, m_faults.NextYModemError);
    else if (name == "refuse" || name == "accept")
        understood = true;
    if (name == "refuse")
        m_faults.Refused.insert(ToUnitBytes(QString::fromUtf8(value)));
    else if (name == "accept")
        m_faults.Refused.remove(ToUnitBytes(QString::fromUtf8(value)));
    return understood ? QByteArray() : "unknown fault or value";
}

QByteArray TControlChannel::ApplyWord(const QByteArray& word, const QByteArray& skip)
{
    int lines = 0;
    if (!Number(skip, lines))
        return "expected: fault word WORD [SKIP]";
    m_faults.Word = ToUnitBytes(QString::fromUtf8(word));
    m_faults.WordSkip = lines;
    return {};
}
