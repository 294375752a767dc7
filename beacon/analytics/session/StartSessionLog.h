#pragma once

#include "beacon/model/AbstractLog.h"

namespace beacon {

// Announces a new session ("startSession"); its sid is the new session's id.
class StartSessionLog : public AbstractLog {
public:
    static constexpr std::string_view kClassName = "StartSessionLog";
    static constexpr const char* kType = "startSession";

    StartSessionLog() { type = kType; }

    std::string_view className() const override { return kClassName; }
    bool isEqual(const ModelObject& other) const override {
        return dynamic_cast<const StartSessionLog*>(&other) && AbstractLog::isEqual(other);
    }
};

} // namespace beacon
