#include "Hotkeys/recorder/Bundle.h"

#include <gtest/gtest.h>

TEST(NoBundleDeathTest, ProgramStopsWhenTheBundleIsMissing) {
    for (const auto& candidate : Hotkeys::Bundle::candidates())
        ASSERT_FALSE(std::filesystem::exists(candidate)) << candidate << " exists; this test needs it absent";
    EXPECT_DEATH(Hotkeys::Bundle::module(), "unable to find bundle named Hotkeys_Hotkeys");
}
