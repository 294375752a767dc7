#pragma once

#include <string_view>

namespace app {

// Compares two dotted version texts numerically, component by component:
// "1.10" is newer than "1.9", and missing components count as 0 ("1.2"
// equals "1.2.0"). Each component is read up to its first non-digit, so a
// suffix ("2b3") does not change its value. Returns <0, 0 or >0.
int compareVersions(std::string_view a, std::string_view b);

} // namespace app
