#include "Interruption.h"

#include <atomic>

namespace {

std::atomic<bool> g_requested{false};

} // namespace

TInterruption::TInterruption()
{
    g_requested = false;
    Catch();
}

TInterruption::~TInterruption()
{
    Release();
}

bool TInterruption::Requested()
{
    return g_requested;
}

void TInterruption::Arrived()
{
    g_requested = true;
    const auto& react = ++m_count == 1 ? OnFirst : OnSecond;
    if (react)
        react();
}
