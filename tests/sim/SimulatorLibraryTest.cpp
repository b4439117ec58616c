// The built simulator library as the program loads it.

#include "member/RCPV11VCDLL.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

TEST(SimulatorLibraryTest, ExportsTheTenFunctionsItsMarkerAndNothingElse)
{
    void* handle = dlopen(SIMULATOR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const char* name : {"CommOpen", "CommClose", "Reset", "CardInOver", "Dischange", "RfidCardRequestAndWriteData",
             "RfidCardRequestAndReadData", "PrintBufferClear", "PrintCharacterDataSetting", "ErasePrintDischarge",
             RCPV11::SimulatorMarker}) {
        EXPECT_NE(dlsym(handle, name), nullptr) << name;
    }
    // TSimulatedPrinter::CommOpen(int, int) and the INI layer stay inside,
    // so they cannot stand in for the program's own copies.
    EXPECT_EQ(dlsym(handle, "_ZN17TSimulatedPrinter8CommOpenEii"), nullptr);
    EXPECT_EQ(dlsym(handle, "_ZNK12TProfileFile10ReadStringB5cxx11ESt17basic_string_viewIcSt11char_traitsIcEES3_S3_"), nullptr);
    dlclose(handle);
}

TEST(TSimulatorLibraryTest, LoaderRecognisesTheSimulator)
{
    const TRCPV11Library library(SIMULATOR_LIBRARY);
    EXPECT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_TRUE(library.IsSimulator());
}

} // namespace
