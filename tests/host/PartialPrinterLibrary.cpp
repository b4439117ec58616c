// A printer library that lacks all functions but one, as a wrong or broken
// library file beside the program would.

#include <cstdint>

extern "C" __attribute__((visibility("default"))) int32_t CommOpen(int32_t, int32_t)
{
    return 5;
}
