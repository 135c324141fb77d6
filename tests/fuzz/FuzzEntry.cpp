// libFuzzer's entry points for one target; the build compiles this file once
// per target, naming it in PARLOTEL_FUZZ_TARGET.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

namespace {
Fuzz::TTarget g_target = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::InitApplication(argc, argv);
    g_target = Fuzz::FindTarget(PARLOTEL_FUZZ_TARGET);
    if (!g_target)
        Fuzz::Fail("no fuzz target named %s", PARLOTEL_FUZZ_TARGET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    g_target(data, size);
    return 0;
}
