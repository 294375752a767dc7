#include "app/updates/Version.h"

#include <vector>

namespace app {

namespace {

// The numeric components; a run of digits too long for the type saturates
// rather than wrapping.
std::vector<unsigned long long> components(std::string_view text) {
    std::vector<unsigned long long> out;
    std::size_t i = 0;
    if (!text.empty() && (text[0] == 'v' || text[0] == 'V')) i = 1;
    while (i <= text.size()) {
        unsigned long long value = 0;
        bool digits = true;
        for (; i < text.size() && text[i] != '.'; ++i) {
            char c = text[i];
            if (digits && c >= '0' && c <= '9') {
                unsigned long long next = value * 10 + static_cast<unsigned>(c - '0');
                value = (next / 10 == value) ? next : ~0ULL;
            } else {
                digits = false;
            }
        }
        out.push_back(value);
        ++i; // past the dot
    }
    while (!out.empty() && out.back() == 0) out.pop_back();
    return out;
}

} // namespace

int compareVersions(std::string_view a, std::string_view b) {
    auto x = components(a), y = components(b);
    for (std::size_t i = 0; i < x.size() || i < y.size(); ++i) {
        auto l = i < x.size() ? x[i] : 0, r = i < y.size() ? y[i] : 0;
        if (l != r) return l < r ? -1 : 1;
    }
    return 0;
}

} // namespace app
