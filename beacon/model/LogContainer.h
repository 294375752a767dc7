#pragma once

#include "beacon/model/AbstractLog.h"
#include "beacon/model/ModelObject.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// A batch of logs sent in one request: {"logs": [ ... ]}.
class LogContainer : public ModelObject {
public:
    static constexpr std::string_view kClassName = "LogContainer";

    LogContainer() = default;
    LogContainer(std::optional<std::string> batchId, std::vector<std::shared_ptr<AbstractLog>> logs);

    std::optional<std::string> batchId;
    std::vector<std::shared_ptr<AbstractLog>> logs;

    std::string_view className() const override { return kClassName; }
    // {"logs": [the dictionary of each log, in order]}; absent logs are skipped.
    Json serializeToDictionary() const override;
    // The request body: UTF-8 JSON text without escaped slashes. Nothing
    // (and an error line) when the logs cannot be encoded.
    std::optional<std::string> serializeLog(bool prettyPrint = false) const;
    // Needs at least one log, and every log valid.
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
