#include "Hotkeys/core/Text.h"

#include <locale.h>
#include <wctype.h>

#include <vector>

namespace Hotkeys::text {

namespace {

std::vector<char32_t> decode(std::string_view s) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : c & (0xFF >> (len + 1));
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        out.push_back(ok ? cp : 0xFFFD);
        i += ok ? len : 1;
    }
    return out;
}

std::string encode(const std::vector<char32_t>& cps) {
    std::string out;
    for (char32_t cp : cps) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// Case mapping follows Unicode data (glibc's C.UTF-8), independent of the
// user's locale settings.
locale_t unicodeLocale() {
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

char32_t upper(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    auto l = unicodeLocale();
    return l ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), l)) : c;
}

char32_t lower(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    auto l = unicodeLocale();
    return l ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), l)) : c;
}

bool isSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0 || c == 0x3000; }

bool isCombining(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
           (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) ||
           c == 0x200D || (c >= 0xE0100 && c <= 0xE01EF);
}

} // namespace

std::string capitalized(std::string_view utf8) {
    auto cps = decode(utf8);
    bool wordStart = true;
    for (auto& c : cps) {
        if (isSpace(c)) {
            wordStart = true;
            continue;
        }
        c = wordStart ? upper(c) : lower(c);
        wordStart = false;
    }
    return encode(cps);
}

std::string lowercased(std::string_view utf8) {
    auto cps = decode(utf8);
    for (auto& c : cps) c = lower(c);
    return encode(cps);
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char32_t c : decode(utf8))
        if (!isCombining(c) || count == 0) ++count;
    return count;
}

} // namespace Hotkeys::text
