#pragma once

#include "beacon/context/HistoryInfo.h"

#include <optional>
#include <string>

namespace beacon {

// The user id of one launch, from the time it was set ("userIdKey").
class UserIdHistoryInfo : public HistoryInfo {
public:
    static constexpr std::string_view kClassName = "UserIdHistoryInfo";

    UserIdHistoryInfo() = default;
    UserIdHistoryInfo(Date timestamp, std::optional<std::string> userId_)
        : HistoryInfo(timestamp), userId(std::move(userId_)) {}

    std::optional<std::string> userId;

    std::string_view className() const override { return kClassName; }
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
