// The built simulator library as the program loads it.

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

TEST(SimulatorLibraryTest, ExportsTheTenFunctionsAndNothingElse)
{
    void* handle = dlopen(SIMULATOR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const char* name : {"CommOpen", "CommClose", "Reset", "CardInOver", "Dischange", "RfidCardRequestAndWriteData",
             "RfidCardRequestAndReadData", "PrintBufferClear", "PrintCharacterDataSetting", "ErasePrintDischarge"}) {
        EXPECT_NE(dlsym(handle, name), nullptr) << name;
    }
    // TSimulatedPrinter::CommOpen(int, int) and the INI layer stay inside,
    // so they cannot stand in for the program's own copies.
    EXPECT_EQ(dlsym(handle, "_ZN17TSimulatedPrinter8CommOpenEii"), nullptr);
    EXPECT_EQ(dlsym(handle, "_ZNK12TProfileFile10ReadStringB5cxx11ESt17basic_string_viewIcSt11char_traitsIcEES3_S3_"), nullptr);
    dlclose(handle);
}

} // namespace
