#pragma once

namespace beacon {

// Marks a log class whose logs keep their session id empty: the session
// tracker does not stamp them.
class NoAutoAssignSessionIdLog {
public:
    virtual ~NoAutoAssignSessionIdLog() = default;
};

} // namespace beacon
