#pragma once

#include "beacon/model/AbstractLog.h"
#include "beacon/model/CSData.h"
#include "beacon/model/CSExtensions.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace beacon {

// A log in the common schema of the Collector ingestion. JSON keys in this
// order, each only when set: "ver", "name", "time" (the timestamp,
// ISO-8601), "iKey", "flags" (only when non-zero), "ext", "data". popSample
// and cV are archived but never written to JSON; neither are the fields of
// the base log other than the timestamp.
class CommonSchemaLog : public AbstractLog {
public:
    static constexpr std::string_view kClassName = "CommonSchemaLog";

    std::optional<std::string> ver;
    std::optional<std::string> name;
    double popSample = 0;
    std::optional<std::string> iKey;
    std::int64_t flags = 0;
    std::optional<std::string> cV;
    std::shared_ptr<CSExtensions> ext;
    std::shared_ptr<CSData> data;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    // Needs timestamp, ver and name (in place of the base log's rule).
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
