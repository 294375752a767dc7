#include "app/core/NameFilter.h"

#include <cwctype>

namespace app {

namespace {

// The code points of UTF-8 text; a byte that starts no valid sequence stands
// for itself.
std::u32string decode(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        char32_t value = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(value);
        i += std::size_t(length);
    }
    return out;
}

char32_t fold(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
    return char32_t(std::towlower(wint_t(c)));
}

bool isSeparator(char32_t c) { return c == ' ' || c == '-' || c == '_' || c == '.' || c == '/' || c == ':'; }
bool isUpper(char32_t c) { return c < 0x80 ? (c >= 'A' && c <= 'Z') : std::iswupper(wint_t(c)) != 0; }
bool isLower(char32_t c) { return c < 0x80 ? (c >= 'a' && c <= 'z') : std::iswlower(wint_t(c)) != 0; }

// Where words start: the first character, one after a separator, and an
// upper-case letter after a lower-case one ("LibreOffice").
std::vector<bool> wordStarts(const std::u32string& name) {
    std::vector<bool> starts(name.size(), false);
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (isSeparator(name[i])) continue;
        starts[i] = i == 0 || isSeparator(name[i - 1]) || (isUpper(name[i]) && isLower(name[i - 1]));
    }
    return starts;
}

std::vector<std::size_t> run(std::size_t from, std::size_t length) {
    std::vector<std::size_t> positions(length);
    for (std::size_t k = 0; k < length; ++k) positions[k] = from + k;
    return positions;
}

} // namespace

std::optional<NameMatch> matchName(const std::string& nameText, const std::string& filterText) {
    std::u32string name = decode(nameText), filter = decode(filterText);
    for (auto& c : name) c = fold(c);
    for (auto& c : filter) c = fold(c);
    if (filter.empty()) return NameMatch{NameMatch::Kind::Prefix, {}};
    if (name.compare(0, filter.size(), filter) == 0) return NameMatch{NameMatch::Kind::Prefix, run(0, filter.size())};

    const auto original = decode(nameText);
    const auto starts = wordStarts(original);
    for (std::size_t i = 1; i + filter.size() <= name.size(); ++i)
        if (starts[i] && name.compare(i, filter.size(), filter) == 0)
            return NameMatch{NameMatch::Kind::WordStart, run(i, filter.size())};
    // Each letter the start of a word, in order.
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < name.size() && positions.size() < filter.size(); ++i)
        if (starts[i] && name[i] == filter[positions.size()]) positions.push_back(i);
    if (positions.size() == filter.size()) return NameMatch{NameMatch::Kind::WordStart, positions};

    positions.clear();
    for (std::size_t i = 0; i < name.size() && positions.size() < filter.size(); ++i)
        if (name[i] == filter[positions.size()]) positions.push_back(i);
    if (positions.size() < filter.size()) return std::nullopt;
    return NameMatch{NameMatch::Kind::Letters, positions};
}

std::string withoutLastCharacter(const std::string& filter) {
    if (filter.empty()) return filter;
    std::size_t end = filter.size() - 1;
    // Back over continuation bytes to the sequence's first byte.
    while (end > 0 && (static_cast<unsigned char>(filter[end]) & 0xC0) == 0x80) --end;
    return filter.substr(0, end);
}

} // namespace app
