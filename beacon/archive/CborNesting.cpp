#include "beacon/archive/CborNesting.h"

#include <vector>

namespace beacon {

namespace {

constexpr std::uint64_t kIndefinite = UINT64_MAX;

struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t pos = 0;

    bool atEnd() const { return pos >= bytes.size(); }

    // The argument of an item head with this additional information;
    // kIndefinite for 31. False when the head is malformed or cut.
    bool argument(std::uint8_t info, std::uint64_t& value) {
        if (info < 24) {
            value = info;
            return true;
        }
        if (info == 31) {
            value = kIndefinite;
            return true;
        }
        if (info > 27) return false;
        std::size_t size = std::size_t{1} << (info - 24);
        if (bytes.size() - pos < size) return false;
        value = 0;
        for (std::size_t i = 0; i < size; ++i) value = (value << 8) | bytes[pos++];
        return true;
    }
};

// What an open array or map still expects: a number of items, or items up
// to a break when indefinite.
struct Open {
    std::uint64_t remaining;
};

} // namespace

bool cborNestingWithin(std::span<const std::uint8_t> bytes, int maxDepth) {
    Reader r{bytes};
    std::vector<Open> open;
    bool sawRoot = false;
    while (!r.atEnd()) {
        if (open.empty() && sawRoot) return false; // trailing bytes after the one item
        std::uint8_t head = r.bytes[r.pos++];
        std::uint8_t major = head >> 5, info = head & 0x1F;
        if (head == 0xFF) { // break: closes an indefinite array or map
            if (open.empty() || open.back().remaining != kIndefinite) return false;
            open.pop_back();
        } else {
            std::uint64_t arg;
            if (!r.argument(info, arg)) return false;
            switch (major) {
            case 0:
            case 1:
            case 7:
                if (arg == kIndefinite) return false;
                break;
            case 2:
            case 3:
                if (arg == kIndefinite) {
                    // Chunks of the same type until a break.
                    for (;;) {
                        if (r.atEnd()) return false;
                        std::uint8_t chunk = r.bytes[r.pos++];
                        if (chunk == 0xFF) break;
                        std::uint64_t size;
                        if ((chunk >> 5) != major || !r.argument(chunk & 0x1F, size) || size == kIndefinite ||
                            r.bytes.size() - r.pos < size)
                            return false;
                        r.pos += size;
                    }
                } else {
                    if (r.bytes.size() - r.pos < arg) return false;
                    r.pos += arg;
                }
                break;
            case 6: // a tag: the tagged item follows as the next item
                if (arg == kIndefinite) return false;
                continue;
            case 4:
            case 5:
                if (static_cast<int>(open.size()) >= maxDepth) return false;
                if (arg != kIndefinite && major == 5) {
                    if (arg > UINT64_MAX / 2) return false;
                    arg *= 2;
                }
                if (arg == 0) break; // an empty container completes at once
                // Count this container as an item of its parent first.
                if (!open.empty() && open.back().remaining != kIndefinite) --open.back().remaining;
                sawRoot = true;
                open.push_back({arg});
                continue;
            }
        }
        // One item completed: count it against the innermost container and
        // close every container that is now full.
        sawRoot = true;
        if (head != 0xFF && !open.empty() && open.back().remaining != kIndefinite) --open.back().remaining;
        while (!open.empty() && open.back().remaining == 0) open.pop_back();
    }
    return sawRoot && open.empty();
}

} // namespace beacon
