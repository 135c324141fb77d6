#include "FuzzSupport.h"

#include "serial/SpSync.h"

#include <QApplication>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace Fuzz {

void InitApplication(int* argc, char*** argv)
{
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv); // lives as long as the process
}

bool Verbose()
{
    static const bool verbose = qEnvironmentVariableIsSet("PARLOTEL_FUZZ_VERBOSE");
    return verbose;
}

void Fail(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fputs("fuzz target fault: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::abort();
}

void TQuietSink::ShowMessage(TMsgKind, const QString& text)
{
    ++Messages;
    if (Verbose())
        std::fprintf(stderr, "box: %s\n", text.toUtf8().constData());
}

QByteArray TInput::Take(size_t count)
{
    const size_t n = std::min(count, m_size - std::min(m_pos, m_size));
    const QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(n));
    m_pos += n;
    return out;
}

TFarEnd::TFarEnd(TFormComm& comm, TInput& input) : m_comm(comm), m_input(input)
{
    m_comm.SetLineTap(this);
}

TFarEnd::~TFarEnd()
{
    m_comm.SetLineTap(nullptr);
}

TLineTap::TVerdict TFarEnd::Waiting(const QByteArray&)
{
    if (m_input.AtEnd())
        return HangUp;
    const QByteArray burst = m_input.Burst();
    if (burst.isEmpty())
        return RunOut;
    if (OnDeliver)
        OnDeliver(burst);
    spSynchronize([&] {
        m_comm.SpComm1.DeliverReceived(reinterpret_cast<const uint8_t*>(burst.constData()), int(burst.size()));
    });
    return GoOn;
}

} // namespace Fuzz
