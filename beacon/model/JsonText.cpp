#include "beacon/model/JsonText.h"

namespace beacon {

std::optional<std::string> jsonText(const Json& value, bool prettyPrint, std::string* error) {
    try {
        // This encoder never escapes slashes; the rewrite keeps the promise
        // for any text produced elsewhere too.
        return removeEscapedSlashes(value.dump(prettyPrint ? 2 : -1));
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return std::nullopt;
    }
}

std::string jsonTextReplacingInvalidUtf8(const Json& value, bool prettyPrint) {
    return removeEscapedSlashes(value.dump(prettyPrint ? 2 : -1, ' ', false, Json::error_handler_t::replace));
}

std::string removeEscapedSlashes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char next = text[++i];
            if (next != '/') out += c;
            out += next;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace beacon
