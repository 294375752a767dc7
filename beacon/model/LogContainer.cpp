#include "beacon/model/LogContainer.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/JsonText.h"

namespace beacon {

namespace {
constexpr const char* kLogs = "logs";
constexpr const char* kBatchId = "batchId";
} // namespace

LogContainer::LogContainer(std::optional<std::string> batchId_, std::vector<std::shared_ptr<AbstractLog>> logs_)
    : batchId(std::move(batchId_)), logs(std::move(logs_)) {}

Json LogContainer::serializeToDictionary() const {
    Json array = Json::array();
    for (const auto& log : logs) {
        if (!log) continue;
        Json dictionary = log->serializeToDictionary();
        if (dictionary.is_object()) array.push_back(std::move(dictionary));
    }
    Json json = Json::object();
    json[kLogs] = std::move(array);
    return json;
}

std::optional<std::string> LogContainer::serializeLog(bool prettyPrint) const {
    std::string error;
    const Json json = serializeToDictionary();
    auto text = jsonText(json, prettyPrint, &error);
    if (!text) {
        // One damaged text must not cost the whole batch its body.
        BEACON_LOG_ERROR("Couldn't serialize log container to json: ", error);
        text = jsonTextReplacingInvalidUtf8(json, prettyPrint);
    }
    return text;
}

std::optional<std::string> LogContainer::validationError() const {
    if (logs.empty()) return std::string(className()) + ": there are no logs in container.";
    for (const auto& log : logs) {
        if (!log) return invalidFieldMessage(className(), kLogs);
        if (auto error = log->validationError()) return error;
    }
    return std::nullopt;
}

bool LogContainer::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const LogContainer*>(&other);
    if (!o || batchId != o->batchId || logs.size() != o->logs.size()) return false;
    for (std::size_t i = 0; i < logs.size(); ++i)
        if (!equalObjects(logs[i], o->logs[i])) return false;
    return true;
}

void LogContainer::encode(ArchiveWriter& w) const {
    w.encodeString(kBatchId, batchId);
    w.encodeObjects(kLogs, logs);
}

void LogContainer::decode(ArchiveReader& r) {
    batchId = r.decodeString(kBatchId);
    logs = r.decodeObjects<AbstractLog>(kLogs).value_or(std::vector<std::shared_ptr<AbstractLog>>{});
}

} // namespace beacon
