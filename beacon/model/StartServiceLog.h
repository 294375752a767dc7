#pragma once

#include "beacon/model/AbstractLog.h"

#include <optional>
#include <string>
#include <vector>

namespace beacon {

// Announces the services started ("startService"). "services" and
// "isCollectorEnabled" are written only when the services are set.
class StartServiceLog : public AbstractLog {
public:
    static constexpr std::string_view kClassName = "StartServiceLog";
    static constexpr const char* kType = "startService";

    StartServiceLog();

    std::optional<std::vector<std::string>> services;
    bool isCollectorEnabled = false;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
