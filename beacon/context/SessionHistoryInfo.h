#pragma once

#include "beacon/context/HistoryInfo.h"

#include <optional>
#include <string>

namespace beacon {

// The session id of one launch, from the time it was set ("sessionIdKey").
class SessionHistoryInfo : public HistoryInfo {
public:
    static constexpr std::string_view kClassName = "SessionHistoryInfo";

    SessionHistoryInfo() = default;
    SessionHistoryInfo(Date timestamp, std::optional<std::string> sessionId_)
        : HistoryInfo(timestamp), sessionId(std::move(sessionId_)) {}

    std::optional<std::string> sessionId;

    std::string_view className() const override { return kClassName; }
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
