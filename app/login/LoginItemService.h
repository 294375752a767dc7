#pragma once

#include <string>

namespace app {

// The outcome of a register or unregister: success, or a failure with a
// readable description.
struct LoginItemResult {
    bool ok = true;
    std::string description;

    static LoginItemResult success() { return {}; }
    static LoginItemResult failure(std::string description) { return {false, std::move(description)}; }
};

// The session's registry of programs started at login, for Zelvo itself.
class LoginItemService {
public:
    virtual ~LoginItemService() = default;
    // True exactly when Zelvo is registered and the entry is in effect.
    virtual bool isEnabled() const = 0;
    virtual LoginItemResult registerItem() = 0;
    virtual LoginItemResult unregisterItem() = 0;
};

} // namespace app
