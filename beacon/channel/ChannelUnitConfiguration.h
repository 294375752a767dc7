#pragma once

#include <cstdint>
#include <string>

namespace beacon {

// How one channel unit batches and sends: its log group, storage priority,
// logs per batch, batches in flight at once and the flush interval.
struct ChannelUnitConfiguration {
    static constexpr std::uint32_t kDefaultFlushInterval = 6;
    static constexpr std::int32_t kDefaultPriority = 1;
    static constexpr std::uint32_t kDefaultBatchSizeLimit = 50;
    static constexpr std::uint32_t kDefaultPendingBatchesLimit = 3;

    std::string groupId;
    std::int32_t priority = kDefaultPriority;
    std::uint32_t batchSizeLimit = kDefaultBatchSizeLimit;
    std::uint32_t pendingBatchesLimit = kDefaultPendingBatchesLimit;
    std::uint32_t flushInterval = kDefaultFlushInterval; // seconds

    ChannelUnitConfiguration() = default;
    ChannelUnitConfiguration(std::string groupId, std::int32_t priority, std::uint32_t flushInterval,
                             std::uint32_t batchSizeLimit, std::uint32_t pendingBatchesLimit)
        : groupId(std::move(groupId)), priority(priority), batchSizeLimit(batchSizeLimit),
          pendingBatchesLimit(pendingBatchesLimit), flushInterval(flushInterval) {}

    // Priority 1, 50 logs per batch, 3 batches in flight, flushed every 6 s
    // (or every `flushInterval` seconds).
    static ChannelUnitConfiguration defaultConfiguration(std::string groupId,
                                                         std::uint32_t flushInterval = kDefaultFlushInterval) {
        return ChannelUnitConfiguration(std::move(groupId), kDefaultPriority, flushInterval, kDefaultBatchSizeLimit,
                                        kDefaultPendingBatchesLimit);
    }

    bool operator==(const ChannelUnitConfiguration&) const = default;
};

} // namespace beacon
