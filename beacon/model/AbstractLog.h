#pragma once

#include "beacon/archive/Iso8601.h"
#include "beacon/model/Device.h"
#include "beacon/model/LogFlags.h"
#include "beacon/model/ModelObject.h"

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace beacon {

class CommonSchemaLog;

// The root of every telemetry log. JSON keys, each written only when set:
// "type", "timestamp" (ISO-8601), "sid", "distributionGroupId", "userId",
// "device", "dataResidencyRegion". The tag and the transmission target
// tokens are neither serialized nor archived.
class AbstractLog : public ModelObject {
public:
    static constexpr std::string_view kClassName = "AbstractLog";

    AbstractLog() = default;
    AbstractLog(const AbstractLog& other);
    AbstractLog& operator=(const AbstractLog& other);

    std::optional<std::string> type; // fixed by each subclass's constructor
    std::optional<Date> timestamp;
    std::optional<std::string> sid; // session id
    std::optional<std::string> distributionGroupId;
    std::optional<std::string> userId;
    std::optional<std::string> dataResidencyRegion;
    std::shared_ptr<Device> device;
    // The object that sent the log (compared by identity).
    std::shared_ptr<void> tag;

    // Collector tokens, read and replaced under the log's own lock.
    void addTransmissionTargetToken(const std::string& token);
    std::set<std::string> transmissionTargetTokens() const;
    void setTransmissionTargetTokens(std::set<std::string> tokens);

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    // The JSON text of this log alone (no escaped slashes); nothing when the
    // log cannot be encoded.
    std::optional<std::string> serializeLog(bool prettyPrint = false) const;
    // Needs type, timestamp and a valid device.
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;

    // One common-schema log per transmission target token, in token order;
    // empty when the log has no token.
    std::vector<std::shared_ptr<CommonSchemaLog>> toCommonSchemaLogs(LogFlags flags) const;
    // The common-schema log for one token: version, time, instrumentation
    // key, flags and the extensions taken from the device and the user id.
    // Subclasses add the name and the data.
    virtual std::shared_ptr<CommonSchemaLog> toCommonSchemaLog(const std::string& token, LogFlags flags) const;

    // "+HH:MM" / "-HH:MM" of an offset in minutes east of UTC.
    static std::string timeZoneText(std::int64_t offsetMinutes);

private:
    mutable std::mutex tokensMutex_;
    std::set<std::string> tokens_;
};

} // namespace beacon
