#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace app {

// How well a typed filter matches an application name.
struct NameMatch {
    enum class Kind { Prefix = 0, WordStart = 1, Letters = 2 }; // best first
    Kind kind = Kind::Letters;
    // The matched characters of the name, as indexes of its code points.
    std::vector<std::size_t> positions;
};

// The filter's letters, ignoring case, in order somewhere in `name`
// (a subsequence): a Prefix when the name starts with them; a WordStart when
// a word of the name starts with them or each of them starts a word ("gc" in
// "Google Chrome"); otherwise Letters. Nothing when they do not all occur in
// order. An empty filter matches every name as a Prefix with no positions.
// Both are UTF-8; a name that is not valid UTF-8 is read byte by byte.
std::optional<NameMatch> matchName(const std::string& name, const std::string& filter);

// The filter without its last character (a whole UTF-8 sequence).
std::string withoutLastCharacter(const std::string& filter);

} // namespace app
