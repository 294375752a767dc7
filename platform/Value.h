#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace platform {

// A typed preference value. Absent (no Value at all), boolean false and a
// string are three different things, and so are an integer and a double.
class Value {
public:
    using Data = std::vector<std::uint8_t>;
    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value>;
    using Storage = std::variant<bool, std::int64_t, double, std::string, Data, Array, Dictionary>;

    Value() : v_(false) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(std::int64_t i) : v_(i) {}
    Value(double d) : v_(d) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(Data d) : v_(std::move(d)) {}
    Value(Array a) : v_(std::move(a)) {}
    Value(Dictionary d) : v_(std::move(d)) {}

    bool isBool() const { return std::holds_alternative<bool>(v_); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(v_); }
    bool isDouble() const { return std::holds_alternative<double>(v_); }
    bool isNumber() const { return isInteger() || isDouble(); }
    bool isString() const { return std::holds_alternative<std::string>(v_); }
    bool isData() const { return std::holds_alternative<Data>(v_); }
    bool isArray() const { return std::holds_alternative<Array>(v_); }
    bool isDictionary() const { return std::holds_alternative<Dictionary>(v_); }

    // Exact accessors: nullopt / nullptr when the value has another type.
    std::optional<bool> asBool() const;
    std::optional<std::int64_t> asInteger() const;
    std::optional<double> asDouble() const; // integers convert
    const std::string* asString() const { return std::get_if<std::string>(&v_); }
    const Data* asData() const { return std::get_if<Data>(&v_); }
    const Array* asArray() const { return std::get_if<Array>(&v_); }
    const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&v_); }

    // Lenient readings in the manner of preference stores: numbers and the
    // strings "YES"/"true"/"1" count as booleans, numeric strings as numbers.
    bool truthy() const;
    std::int64_t integerValue() const;
    double doubleValue() const;

    const Storage& storage() const { return v_; }
    bool operator==(const Value& other) const { return v_ == other.v_; }

    // JSON form used on disk: natural JSON for everything but data, which is
    // {"$data": "<base64>"}.
    nlohmann::json toJson() const;
    static std::optional<Value> fromJson(const nlohmann::json& json);

private:
    Storage v_;
};

std::string base64Encode(const Value::Data& data);
std::optional<Value::Data> base64Decode(const std::string& text);

} // namespace platform
