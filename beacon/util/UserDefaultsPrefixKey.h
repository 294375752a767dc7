#pragma once

#include <string>

namespace beacon {

// In a key-migration table: every stored key that begins with `keyPrefix`.
class UserDefaultsPrefixKey {
public:
    explicit UserDefaultsPrefixKey(std::string prefix) : keyPrefix_(std::move(prefix)) {}
    const std::string& keyPrefix() const { return keyPrefix_; }

private:
    std::string keyPrefix_;
};

} // namespace beacon
