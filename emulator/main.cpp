// parlotel-unit: the emulated auto-attendant (placeholder until it is written).
#include <cstdio>
int main()
{
    std::fprintf(stderr, "parlotel-unit: not built yet\n");
    return 1;
}
