#pragma once

#include "platform/Workspace.h"

#include <optional>
#include <string>
#include <vector>

namespace app::views {

// What one row of the switcher list shows, decided from the list as
// displayed and the row's application.
struct RowContent {
    enum class Badge { None, Number, Invisible };
    Badge badge = Badge::None;         // None: the application is not in the list
    std::string badgeText;             // "0" to "9" for the first ten rows, else empty
    bool badgeTrailingPadding = false; // 4 px after a visible badge only
    std::string name;                  // the localized name, "App" when there is none
    std::vector<std::size_t> marked;   // code points of the name the filter matched
    std::string detail;                // the chosen window: its title, and its desktop when another
    // The application's windows listed under the row (when expanded), and
    // which of them is the chosen one (-1: none).
    struct WindowLine {
        std::uint64_t id = 0;
        std::string text;
        bool operator==(const WindowLine&) const = default;
    };
    std::vector<WindowLine> windows;
    int chosenWindow = -1;
    bool operator==(const RowContent&) const = default;
};

// What a row says of one window: its title ("Untitled" without one), with
// its desktop when that is not the current one.
std::string windowText(const platform::WindowInfo& window);

RowContent rowContent(const std::vector<platform::RunningApplicationPtr>& list,
                      const platform::RunningApplicationPtr& app);

// The first index of `app` in `list` (by identity), if any.
std::optional<std::size_t> indexOf(const std::vector<platform::RunningApplicationPtr>& list,
                                   const platform::RunningApplicationPtr& app);

// Badge colours: a white disc with black text in a dark appearance, a black
// disc with white text in a light one (0xRRGGBB).
struct BadgeColors {
    unsigned background;
    unsigned text;
};
BadgeColors badgeColors(bool darkAppearance);

} // namespace app::views
