// The built simulator library as the program loads it.

#include "base/DynamicLibrary.h"

#include <gtest/gtest.h>

namespace {

TEST(TSimulatorLibraryTest, ExportsTheTenFunctionsAndNothingElse)
{
    const TDynamicLibrary library(SIMULATOR_LIBRARY);
    ASSERT_TRUE(library.Loaded()) << library.Error();
    using TAny = void (*)();
    for (const char* name : {"CommOpen", "CommClose", "Reset", "CardInOver", "Dischange", "RfidCardRequestAndWriteData",
             "RfidCardRequestAndReadData", "PrintBufferClear", "PrintCharacterDataSetting", "ErasePrintDischarge"}) {
        EXPECT_NE(library.Function<TAny>(name), nullptr) << name;
    }
    // TSimulatedPrinter::CommOpen(int, int) and the INI layer stay inside,
    // so they cannot stand in for the program's own copies; on Windows the
    // decorated __stdcall name stays inside too.
    for (const char* name : {"_ZN17TSimulatedPrinter8CommOpenEii",
             "_ZNK12TProfileFile10ReadStringB5cxx11ESt17basic_string_viewIcSt11char_traitsIcEES3_S3_", "CommOpen@8",
             "_CommOpen@8"}) {
        EXPECT_EQ(library.Function<TAny>(name), nullptr) << name;
    }
}

} // namespace
