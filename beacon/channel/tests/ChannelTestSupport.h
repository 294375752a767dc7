#pragma once

#include "beacon/channel/ChannelDelegate.h"
#include "beacon/channel/ChannelGroupDefault.h"
#include "beacon/channel/ChannelUnitDefault.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/ingestion/IngestionProtocol.h"
#include "beacon/model/LogContainer.h"
#include "beacon/storage/LogDBStorage.h"
#include "beacon/util/tests/TempDir.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Encrypter.h"
#include "platform/UserDefaults.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace beacon::test {

// An ingestion that records each batch and completes it when the test says.
class ScriptedIngestion : public IngestionProtocol {
public:
    struct Call {
        std::shared_ptr<LogContainer> container;
        IngestionCompletionHandler handler;
    };

    void setEnabled(bool enabled, bool) override { enabled_ = enabled; }
    void sendAsync(std::shared_ptr<LogContainer> data, IngestionCompletionHandler handler) override {
        calls.push_back({std::move(data), std::move(handler)});
    }
    void sendAsync(std::shared_ptr<LogContainer> data, const std::optional<std::string>&,
                   IngestionCompletionHandler handler) override {
        sendAsync(std::move(data), std::move(handler));
    }
    bool isReadyToSend() const override { return true; }
    bool isEnabled() const override { return enabled_; }

    // Answers the call with an HTTP status.
    void complete(std::size_t index, long status) {
        HttpResponse response;
        response.statusCode = status;
        calls.at(index).handler(calls.at(index).container->batchId.value_or(""), response, std::string(), std::nullopt);
    }

    std::vector<Call> calls;

private:
    bool enabled_ = true;
};

// Counts what a channel reports, per group id.
class RecordingDelegate : public ChannelDelegate {
public:
    void channelWillSendLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>&) override { ++willSend; }
    void channelDidSucceedSendingLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>&) override { ++succeeded; }
    void channelDidFailSendingLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>&,
                                  const std::optional<Error>& error) override {
        failedCodes.push_back(error ? error->code : -1);
    }
    void channelDidCompleteEnqueueingLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>&,
                                         const std::string&) override {
        ++completed;
    }

    int willSend = 0;
    int succeeded = 0;
    int completed = 0;
    std::vector<long> failedCodes;
};

// A channel group on the virtual clock, with a real store in a temporary
// folder, a scripted ingestion and preferences in memory.
class ChannelGroupFixture : public ::testing::Test {
protected:
    void SetUp() override {
        BeaconUserDefaults::setStandardStore(std::make_shared<platform::UserDefaults>());
        BeaconUserDefaults::resetSharedInstance();
        storage = std::make_shared<LogDBStorage>(dir.path / "Logs.sqlite", std::make_shared<Encrypter>());
        group = ChannelGroupDefault::create(scheduler, ingestion, storage);
    }
    void TearDown() override {
        BeaconUserDefaults::resetSharedInstance();
        BeaconUserDefaults::setStandardStore(nullptr);
    }
    // Adds a unit to the group and lets it start.
    std::shared_ptr<ChannelUnitDefault> addUnit(ChannelUnitConfiguration configuration) {
        auto unit =
            std::dynamic_pointer_cast<ChannelUnitDefault>(group->addChannelUnitWithConfiguration(configuration));
        scheduler.runUntilIdle();
        return unit;
    }

    TempDir dir;
    platform::ManualScheduler scheduler;
    std::shared_ptr<ScriptedIngestion> ingestion = std::make_shared<ScriptedIngestion>();
    std::shared_ptr<LogDBStorage> storage;
    std::shared_ptr<ChannelGroupDefault> group;
};

} // namespace beacon::test
