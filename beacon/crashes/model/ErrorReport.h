#pragma once

#include "beacon/archive/Iso8601.h"
#include "beacon/crashes/model/Binary.h"
#include "beacon/crashes/model/Thread.h"
#include "beacon/model/Device.h"
#include "beacon/model/ModelObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// What the application's crash delegate is told about one crash. Archived
// (and shown as JSON) under keys equal to the field names.
class ErrorReport : public ModelObject {
public:
    static constexpr std::string_view kClassName = "ErrorReport";

    std::optional<std::string> incidentIdentifier;
    std::optional<std::string> reporterKey;
    std::optional<std::string> signal;
    std::optional<std::string> exceptionName;
    std::optional<std::string> exceptionReason;
    std::optional<Date> appStartTime;
    std::optional<Date> appErrorTime;
    std::optional<std::string> codeType;
    std::optional<std::string> archName;
    std::optional<std::string> applicationPath;
    std::vector<std::shared_ptr<Thread>> threads;
    std::vector<std::shared_ptr<Binary>> binaries;
    std::shared_ptr<Device> device;
    std::uint64_t appProcessIdentifier = 0;

    // The process was killed (SIGKILL) rather than crashing by itself.
    bool isAppKill() const { return signal == "SIGKILL"; }

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
