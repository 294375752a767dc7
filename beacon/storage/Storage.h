#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

class AbstractLog;

// What channels need from the store of pending logs.
class Storage {
public:
    // The logs of a loaded batch (in row order) and its id; no id when nothing was loaded.
    using LoadCompletionHandler =
        std::function<void(std::vector<std::shared_ptr<AbstractLog>> logs, std::optional<std::string> batchId)>;

    virtual ~Storage() = default;

    // Persists `log` for the channel `groupId`; the low 8 bits of `flags` are its priority.
    virtual bool saveLog(const std::shared_ptr<AbstractLog>& log, const std::string& groupId, std::uint32_t flags) = 0;
    virtual std::uint64_t countLogs() = 0;
    // Deletes every log of the group and answers the logs that were deleted.
    virtual std::vector<std::shared_ptr<AbstractLog>> deleteLogsWithGroupId(const std::string& groupId) = 0;
    virtual void deleteLogsWithBatchId(const std::string& batchId, const std::string& groupId) = 0;
    // Makes the logs of a batch that was not delivered eligible for a later load
    // again; a store that keeps no batches has nothing to release.
    virtual void releaseLogsWithBatchId(const std::string& batchId, const std::string& groupId) {}
    // Loads up to `limit` logs of the group that are in no pending batch and whose target
    // key is not excluded, as a new batch; answers whether more logs are waiting.
    virtual bool loadLogsWithGroupId(const std::string& groupId, std::size_t limit,
                                     const std::vector<std::string>& excludedTargetKeys,
                                     const LoadCompletionHandler& completionHandler) = 0;
    virtual void setMaxStorageSize(std::int64_t sizeInBytes, const std::function<void(bool)>& completionHandler) = 0;
};

} // namespace beacon
