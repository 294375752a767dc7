#pragma once

#include <optional>
#include <string>

namespace beacon {

class UserIdContext;

// Told when the user id changes. The default does nothing.
class UserIdContextDelegate {
public:
    virtual ~UserIdContextDelegate() = default;
    virtual void userIdContext(UserIdContext& context, const std::optional<std::string>& userId) {}
};

} // namespace beacon
