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
};

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
