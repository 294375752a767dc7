#include "app/views/RowContent.h"

namespace app::views {

std::optional<std::size_t> indexOf(const std::vector<platform::RunningApplicationPtr>& list,
                                   const platform::RunningApplicationPtr& app) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == app) return i;
    return std::nullopt;
}

RowContent rowContent(const std::vector<platform::RunningApplicationPtr>& list,
                      const platform::RunningApplicationPtr& app) {
    RowContent row;
    auto name = app ? app->localizedName() : std::nullopt;
    row.name = name ? *name : "App";
    auto index = indexOf(list, app);
    if (!index) return row;
    if (*index <= 9) {
        row.badge = RowContent::Badge::Number;
        row.badgeText = std::to_string(*index);
        row.badgeTrailingPadding = true;
    } else {
        row.badge = RowContent::Badge::Invisible;
    }
    return row;
}

std::string windowText(const platform::WindowInfo& window) {
    std::string text = window.title.empty() ? "Untitled" : window.title;
    if (!window.onCurrentDesktop && window.desktopNumber)
        text += " (Desktop " + std::to_string(*window.desktopNumber) + ")";
    if (window.minimized) text += " (minimised)";
    return text;
}

BadgeColors badgeColors(bool dark) { return dark ? BadgeColors{0xFFFFFF, 0x000000} : BadgeColors{0x000000, 0xFFFFFF}; }

} // namespace app::views
