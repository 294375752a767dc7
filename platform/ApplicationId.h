#pragma once

namespace platform {

// Zelvo's reverse-DNS application id: the name of its desktop entry, its
// metainfo, its icon in the icon theme and its autostart entry. The build
// reads the value from this line, so it is written in one place only.
inline constexpr const char* kApplicationId = "com.zelvo.Zelvo";

} // namespace platform
