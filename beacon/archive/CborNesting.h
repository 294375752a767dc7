#pragma once

#include <cstdint>
#include <span>

namespace beacon {

// True when the bytes are one well-formed CBOR data item (RFC 8949) whose
// arrays and maps nest at most `maxDepth` levels deep. Checked without
// recursion, before the bytes are handed to a recursive decoder, so that a
// damaged or hostile archive cannot exhaust the stack.
bool cborNestingWithin(std::span<const std::uint8_t> bytes, int maxDepth);

} // namespace beacon
