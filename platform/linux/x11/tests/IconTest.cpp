#include "platform/linux/x11/X11RunningApplication.h"

#include <gtest/gtest.h>

using namespace platform::x11;

namespace {
void append(std::vector<std::uint32_t>& data, std::uint32_t w, std::uint32_t h, std::uint32_t fill) {
    data.push_back(w);
    data.push_back(h);
    data.insert(data.end(), std::size_t(w) * h, fill);
}
} // namespace

TEST(NetWmIcon, PicksTheSmallestSizeNotBelowThePreferredOne) {
    std::vector<std::uint32_t> data;
    append(data, 16, 16, 0xff000016);
    append(data, 64, 64, 0xff000064);
    append(data, 48, 48, 0xff000048);
    append(data, 24, 24, 0xff000024);
    auto icon = chooseIcon(data.data(), data.size(), 32);
    EXPECT_EQ(icon.width, 48);
    EXPECT_EQ(icon.height, 48);
    ASSERT_EQ(icon.argb.size(), 48u * 48u);
    EXPECT_EQ(icon.argb.front(), 0xff000048u);

    // All smaller than wanted: the largest.
    std::vector<std::uint32_t> small;
    append(small, 16, 16, 1);
    append(small, 22, 20, 2);
    auto best = chooseIcon(small.data(), small.size(), 32);
    EXPECT_EQ(best.width, 22);
    EXPECT_EQ(best.height, 20);
}

TEST(NetWmIcon, DamagedDataIsReadUpToTheDamage) {
    std::vector<std::uint32_t> data;
    append(data, 8, 8, 7);
    data.push_back(4096); // claims more pixels than follow
    data.push_back(4096);
    data.push_back(0);
    auto icon = chooseIcon(data.data(), data.size(), 32);
    EXPECT_EQ(icon.width, 8);

    std::vector<std::uint32_t> truncated = {10, 10, 1, 2, 3};
    EXPECT_TRUE(chooseIcon(truncated.data(), truncated.size()).empty());
    EXPECT_TRUE(chooseIcon(nullptr, 0).empty());
}
