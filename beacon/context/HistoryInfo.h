#pragma once

#include "beacon/archive/Archivable.h"
#include "beacon/archive/Iso8601.h"

namespace beacon {

// One timestamped entry of a context history (device, session, user id).
// Archived under "timestampKey".
class HistoryInfo : public Archivable {
public:
    static constexpr std::string_view kClassName = "HistoryInfo";

    HistoryInfo() = default;
    explicit HistoryInfo(Date timestamp) : timestamp(timestamp) {}

    Date timestamp{};

    std::string_view className() const override { return kClassName; }
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
