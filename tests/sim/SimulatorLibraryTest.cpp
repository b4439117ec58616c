// The built simulator library as the program loads it.

#include "base/DynamicLibrary.h"
#include "host/RCPV11VCDLL.h"

#include <gtest/gtest.h>

namespace {

TEST(SimulatorLibraryTest, ExportsTheTenFunctionsItsMarkerAndNothingElse)
{
    const TDynamicLibrary library(SIMULATOR_LIBRARY);
    ASSERT_TRUE(library.Loaded()) << library.Error();
    for (const char* name : {"CommOpen", "CommClose", "Reset", "CardInOver", "Dischange", "RfidCardRequestAndWriteData",
             "RfidCardRequestAndReadData", "PrintBufferClear", "PrintCharacterDataSetting", "ErasePrintDischarge",
             RCPV11::SimulatorMarker}) {
        EXPECT_TRUE(library.Exports(name)) << name;
    }
    // TSimulatedPrinter::CommOpen(int, int) and the INI layer stay inside,
    // so they cannot stand in for the program's own copies; on Windows the
    // decorated __stdcall name stays inside too.
    for (const char* name : {"_ZN17TSimulatedPrinter8CommOpenEii",
             "_ZNK12TProfileFile10ReadStringB5cxx11ESt17basic_string_viewIcSt11char_traitsIcEES3_S3_", "CommOpen@8",
             "_CommOpen@8"}) {
        EXPECT_FALSE(library.Exports(name)) << name;
    }
}

TEST(TSimulatorLibraryTest, LoaderRecognisesTheSimulator)
{
    const TRCPV11Library library(SIMULATOR_LIBRARY);
    EXPECT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_TRUE(library.IsSimulator());
}

} // namespace
