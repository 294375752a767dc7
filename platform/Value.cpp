#include "platform/Value.h"

#include <nlohmann/json.hpp>

#include <cstdlib>

namespace platform {

std::optional<bool> Value::asBool() const {
    if (auto b = std::get_if<bool>(&v_)) return *b;
    return std::nullopt;
}

std::optional<std::int64_t> Value::asInteger() const {
    if (auto i = std::get_if<std::int64_t>(&v_)) return *i;
    return std::nullopt;
}

std::optional<double> Value::asDouble() const {
    if (auto d = std::get_if<double>(&v_)) return *d;
    if (auto i = std::get_if<std::int64_t>(&v_)) return static_cast<double>(*i);
    return std::nullopt;
}

bool Value::truthy() const {
    if (auto b = std::get_if<bool>(&v_)) return *b;
    if (auto i = std::get_if<std::int64_t>(&v_)) return *i != 0;
    if (auto d = std::get_if<double>(&v_)) return *d != 0.0;
    if (auto s = std::get_if<std::string>(&v_)) {
        return *s == "YES" || *s == "yes" || *s == "true" || *s == "TRUE" || std::atoll(s->c_str()) != 0;
    }
    return false;
}

std::int64_t Value::integerValue() const {
    if (auto b = std::get_if<bool>(&v_)) return *b ? 1 : 0;
    if (auto i = std::get_if<std::int64_t>(&v_)) return *i;
    if (auto d = std::get_if<double>(&v_)) return static_cast<std::int64_t>(*d);
    if (auto s = std::get_if<std::string>(&v_)) return std::atoll(s->c_str());
    return 0;
}

double Value::doubleValue() const {
    if (auto b = std::get_if<bool>(&v_)) return *b ? 1.0 : 0.0;
    if (auto i = std::get_if<std::int64_t>(&v_)) return static_cast<double>(*i);
    if (auto d = std::get_if<double>(&v_)) return *d;
    if (auto s = std::get_if<std::string>(&v_)) return std::atof(s->c_str());
    return 0.0;
}

nlohmann::json Value::toJson() const {
    using nlohmann::json;
    return std::visit(
        [](const auto& x) -> json {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Data>) {
                return json{{"$data", base64Encode(x)}};
            } else if constexpr (std::is_same_v<T, Array>) {
                json a = json::array();
                for (const auto& e : x) a.push_back(e.toJson());
                return a;
            } else if constexpr (std::is_same_v<T, Dictionary>) {
                json o = json::object();
                for (const auto& [k, e] : x) o[k] = e.toJson();
                return o;
            } else {
                return json(x);
            }
        },
        v_);
}

std::optional<Value> Value::fromJson(const nlohmann::json& j) {
    switch (j.type()) {
    case nlohmann::json::value_t::boolean: return Value(j.get<bool>());
    case nlohmann::json::value_t::number_integer: return Value(j.get<std::int64_t>());
    case nlohmann::json::value_t::number_unsigned: return Value(static_cast<std::int64_t>(j.get<std::uint64_t>()));
    case nlohmann::json::value_t::number_float: return Value(j.get<double>());
    case nlohmann::json::value_t::string: return Value(j.get<std::string>());
    case nlohmann::json::value_t::array: {
        Array a;
        for (const auto& e : j) {
            auto v = fromJson(e);
            if (!v) return std::nullopt;
            a.push_back(std::move(*v));
        }
        return Value(std::move(a));
    }
    case nlohmann::json::value_t::object: {
        if (j.size() == 1 && j.contains("$data") && j["$data"].is_string()) {
            auto d = base64Decode(j["$data"].get<std::string>());
            if (!d) return std::nullopt;
            return Value(std::move(*d));
        }
        Dictionary d;
        for (auto it = j.begin(); it != j.end(); ++it) {
            auto v = fromJson(it.value());
            if (!v) return std::nullopt;
            d.emplace(it.key(), std::move(*v));
        }
        return Value(std::move(d));
    }
    default: return std::nullopt;
    }
}

static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(const Value::Data& data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        unsigned n = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    if (i + 1 == data.size()) {
        unsigned n = data[i] << 16;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += "==";
    } else if (i + 2 == data.size()) {
        unsigned n = (data[i] << 16) | (data[i + 1] << 8);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

std::optional<Value::Data> base64Decode(const std::string& text) {
    auto decode = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    if (text.size() % 4 != 0) return std::nullopt;
    Value::Data out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        int pad = 0;
        unsigned n = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[i + k];
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                ++pad;
                n <<= 6;
                continue;
            }
            if (pad) return std::nullopt;
            int d = decode(c);
            if (d < 0) return std::nullopt;
            n = (n << 6) | static_cast<unsigned>(d);
        }
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        if (pad < 2) out.push_back(static_cast<std::uint8_t>(n >> 8));
        if (pad < 1) out.push_back(static_cast<std::uint8_t>(n));
    }
    return out;
}

} // namespace platform
