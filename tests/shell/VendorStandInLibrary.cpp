// A printer library with all ten functions and without the simulator's
// marker: to the program it is the vendor's. Its port never opens.

#include <cstdint>

extern "C" {
int32_t CommOpen(int32_t, int32_t) { return 0; }
int32_t CommClose(int32_t) { return 0; }
int32_t Reset(int32_t, int32_t) { return 1; }
int32_t CardInOver(int32_t, int32_t) { return 1; }
int32_t Dischange(int32_t, int32_t, int32_t) { return 1; }
int32_t RfidCardRequestAndWriteData(int32_t, int32_t, int32_t, const char*, const char*, int32_t) { return 1; }
int32_t RfidCardRequestAndReadData(int32_t, int32_t, int32_t, const char*, char*, int32_t) { return 1; }
int32_t PrintBufferClear(int32_t, int32_t) { return 1; }
int32_t PrintCharacterDataSetting(int32_t, int32_t, int32_t, int32_t, const char*, int32_t, int32_t) { return 1; }
int32_t ErasePrintDischarge(int32_t, int32_t, int32_t, int32_t, int32_t) { return 1; }
}
