#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace beacon::uuid_text {

// "8F2C1A3E-5560-4B7D-9A01-C4E23F10ABCD": the canonical upper-case form.
std::string fromBytes(const std::array<std::uint8_t, 16>& bytes);
// A new random (version 4) UUID in that form, from OpenSSL's random source
// (the kernel's when that fails). The one generator of the library.
std::string random();

} // namespace beacon::uuid_text
