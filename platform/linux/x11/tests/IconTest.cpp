#include "platform/linux/x11/X11RunningApplication.h"

#include <gtest/gtest.h>

#include <array>

using namespace platform::x11;

namespace {
// _NET_WM_ICON data: width, height, then that many pixels of one colour, for
// each {width, height, colour}.
std::vector<std::uint32_t> iconData(std::initializer_list<std::array<std::uint32_t, 3>> icons) {
    std::vector<std::uint32_t> data;
    for (auto [w, h, fill] : icons) {
        data.insert(data.end(), {w, h});
        data.insert(data.end(), std::size_t(w) * h, fill);
    }
    return data;
}
} // namespace

TEST(NetWmIcon, PicksTheSmallestSizeNotBelowThePreferredOne) {
    auto data = iconData({{16, 16, 0xff000016}, {64, 64, 0xff000064}, {48, 48, 0xff000048}, {24, 24, 0xff000024}});
    auto icon = chooseIcon(data.data(), data.size(), 32);
    EXPECT_EQ(std::pair(icon.width, icon.height), std::pair(48, 48));
    ASSERT_EQ(icon.argb.size(), 48u * 48u);
    EXPECT_EQ(icon.argb.front(), 0xff000048u);

    // All smaller than wanted: the largest.
    auto small = iconData({{16, 16, 1}, {22, 20, 2}});
    auto best = chooseIcon(small.data(), small.size(), 32);
    EXPECT_EQ(std::pair(best.width, best.height), std::pair(22, 20));
}

TEST(NetWmIcon, DamagedDataIsReadUpToTheDamage) {
    auto data = iconData({{8, 8, 7}});
    data.insert(data.end(), {4096, 4096, 0}); // claims more pixels than follow
    auto icon = chooseIcon(data.data(), data.size(), 32);
    EXPECT_EQ(icon.width, 8);

    std::vector<std::uint32_t> truncated = {10, 10, 1, 2, 3};
    EXPECT_TRUE(chooseIcon(truncated.data(), truncated.size()).empty());
    EXPECT_TRUE(chooseIcon(nullptr, 0).empty());
}
