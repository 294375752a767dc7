#pragma once

#include <cstdint>

namespace beacon {

// The bit set passed with every enqueued log. The low 8 bits are the storage
// priority: 1 normal, 2 critical.
using LogFlags = std::uint32_t;

inline constexpr LogFlags kLogFlagsNormal = 1;
inline constexpr LogFlags kLogFlagsCritical = 2;
inline constexpr LogFlags kLogFlagsPersistenceMask = 0xFF;

} // namespace beacon
