#include "beacon/crashes/service/Crashes.h"

#include "ReportBuilder.h"
#include "beacon/channel/ChannelGroupProtocol.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/context/SessionContext.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/core/Beacon.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/crashes/buffer/CrashLogBuffer.h"
#include "beacon/crashes/model/HandledErrorLog.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/FileUtility.h"
#include "beacon/util/InMemoryKeychainStore.h"
#include "beacon/util/KeychainUtil.h"
#include "crashcapture/reporter/CrashReporter.h"
#include "platform/headless/ManualScheduler.h"

#include "../../util/tests/LogCapture.h"
#include "../../util/tests/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace beacon {
namespace {

namespace fs = std::filesystem;

struct Enqueued {
    std::shared_ptr<AbstractLog> log;
    LogFlags flags;
};

class FakeUnit : public ChannelUnitProtocol {
public:
    explicit FakeUnit(ChannelUnitConfiguration configuration) : configuration_(std::move(configuration)) {}
    void setEnabled(bool, bool) override {}
    void addDelegate(const std::shared_ptr<ChannelDelegate>&) override {}
    void removeDelegate(const std::shared_ptr<ChannelDelegate>&) override {}
    void pauseWithIdentifyingObject(const std::shared_ptr<const void>&) override {}
    void resumeWithIdentifyingObject(const std::shared_ptr<const void>&) override {}
    void enqueueItem(const std::shared_ptr<AbstractLog>& item, LogFlags flags) override {
        enqueued.push_back({item, flags});
    }
    void pauseSendingLogsWithToken(const std::string&) override {}
    void resumeSendingLogsWithToken(const std::string&) override {}
    void checkPendingLogs() override {}
    const ChannelUnitConfiguration& configuration() const override { return configuration_; }
    std::shared_ptr<platform::Queue> logsDispatchQueue() const override { return nullptr; }

    template <typename T> std::vector<std::shared_ptr<T>> logsOf() const {
        std::vector<std::shared_ptr<T>> found;
        for (const auto& entry : enqueued)
            if (auto typed = std::dynamic_pointer_cast<T>(entry.log)) found.push_back(typed);
        return found;
    }

    std::vector<Enqueued> enqueued;

private:
    ChannelUnitConfiguration configuration_;
};

class FakeGroup : public ChannelGroupProtocol {
public:
    void setEnabled(bool, bool) override {}
    void addDelegate(const std::shared_ptr<ChannelDelegate>&) override {}
    void removeDelegate(const std::shared_ptr<ChannelDelegate>&) override {}
    void pauseWithIdentifyingObject(const std::shared_ptr<const void>&) override {}
    void resumeWithIdentifyingObject(const std::shared_ptr<const void>&) override {}
    std::shared_ptr<ChannelUnitProtocol>
    addChannelUnitWithConfiguration(const std::optional<ChannelUnitConfiguration>& configuration) override {
        auto unit = std::make_shared<FakeUnit>(*configuration);
        units[configuration->groupId] = unit;
        return unit;
    }
    std::shared_ptr<ChannelUnitProtocol>
    addChannelUnitWithConfiguration(const std::optional<ChannelUnitConfiguration>& configuration,
                                    std::shared_ptr<IngestionProtocol>) override {
        return addChannelUnitWithConfiguration(configuration);
    }
    void setMaxStorageSize(std::int64_t, std::function<void(bool)>) override {}
    std::shared_ptr<ChannelUnitProtocol> channelUnitForGroupId(const std::string& groupId) const override {
        const auto found = units.find(groupId);
        return found == units.end() ? nullptr : found->second;
    }
    std::string logUrl() const override { return {}; }
    void setLogUrl(const std::string&) override {}
    std::optional<std::string> appSecret() const override { return {}; }
    void setAppSecret(const std::optional<std::string>&) override {}

    std::map<std::string, std::shared_ptr<FakeUnit>> units;
};

class RecordingDelegate : public CrashesDelegate {
public:
    std::optional<bool> shouldProcessErrorReport(Crashes&, const ErrorReport& report) override {
        asked.push_back(report.incidentIdentifier.value_or(""));
        return process;
    }
    std::optional<std::vector<std::shared_ptr<ErrorAttachmentLog>>>
    attachmentsWithCrashes(Crashes&, const ErrorReport&) override {
        return attachments;
    }
    std::vector<std::string> asked;
    std::optional<bool> process;
    std::optional<std::vector<std::shared_ptr<ErrorAttachmentLog>>> attachments;
};

class CrashesServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        DependencyConfiguration::setScheduler(&scheduler);
        BeaconUserDefaults::setStandardStore(store);
        BeaconUserDefaults::resetSharedInstance();
        KeychainUtil::setStore(std::make_shared<InMemoryKeychainStore>());
        setBeaconDirectoryURL(dir.path / "beacon");
        Crashes::setCrashReporterBasePath(dir.path / "cache");
        Crashes::setMemoryPressureSourceFactory([this](platform::Queue& queue, MemoryPressureSource::Handler handler) {
            auto source = std::make_unique<ScriptedMemoryPressureSource>(queue, std::move(handler));
            memoryPressure = source.get();
            return source;
        });
        Beacon::sharedInstance()->configureWithAppSecret(std::string("00000000-0000-0000-0000-000000000001"),
                                                         std::nullopt, true);
        scheduler.runUntilIdle();
    }
    void TearDown() override {
        Crashes::resetSharedInstance();
        Beacon::resetSharedInstance();
        scheduler.runUntilIdle();
        Crashes::setMemoryPressureSourceFactory(nullptr);
        Crashes::setApplicationStateProvider(nullptr);
        Crashes::setCrashReporterBasePath(std::nullopt);
        setBeaconDirectoryURL({});
        KeychainUtil::setStore(nullptr);
        BeaconUserDefaults::setStandardStore(nullptr);
        BeaconUserDefaults::resetSharedInstance();
        DependencyConfiguration::setScheduler(nullptr);
    }

    fs::path pendingReportPath() {
        crashcapture::CrashReporter reporter(crashcapture::CrashReporterConfig(
            crashcapture::CrashReporterSignalHandlerType::BSD, crashcapture::CrashReporterSymbolicationStrategy::None,
            true, dir.path / "cache"));
        return reporter.crashReportPath();
    }
    // A launch after a crash that left the report with id bytes `id` pending.
    std::shared_ptr<Crashes> launchAfterCrash(std::uint8_t id = 1) {
        crashcapture::testing::ReportBuilder builder;
        builder.setReportUUID(std::vector<std::uint8_t>(16, id));
        const auto bytes = builder.file();
        fs::create_directories(pendingReportPath().parent_path());
        std::ofstream(pendingReportPath(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return launch();
    }
    // A new launch: a fresh service started on a fresh channel group.
    std::shared_ptr<Crashes> launch() {
        Crashes::resetSharedInstance();
        group = std::make_shared<FakeGroup>();
        auto crashes = Crashes::sharedInstance();
        crashes->setDelegateInstance(delegate);
        crashes->startWithChannelGroup(group, std::string("secret"), std::nullopt, true);
        scheduler.runUntilIdle();
        return crashes;
    }
    FakeUnit& unit(const std::string& groupId) { return *group->units.at(groupId); }
    std::size_t storedReports() {
        const auto entries = contentsOfDirectory("crashes");
        return entries ? entries->size() : 0;
    }

    LogCapture log;
    TempDir dir;
    platform::ManualScheduler scheduler;
    std::shared_ptr<platform::UserDefaults> store = std::make_shared<platform::UserDefaults>();
    std::shared_ptr<FakeGroup> group;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    ScriptedMemoryPressureSource* memoryPressure = nullptr;
};

TEST_F(CrashesServiceTest, APendingReportIsStoredAndSentOneSecondLaterOnce) {
    auto crashes = launchAfterCrash();
    EXPECT_TRUE(crashes->didCrashInLastSession());
    ASSERT_TRUE(crashes->lastSessionCrashReportInstance());
    EXPECT_FALSE(fs::exists(pendingReportPath()));
    EXPECT_EQ(crashes->crashFiles().size(), 1u);
    EXPECT_TRUE(unit("Crashes").enqueued.empty());

    scheduler.advance(platform::Seconds(1));
    ASSERT_EQ(unit("Crashes").enqueued.size(), 1u);
    EXPECT_EQ(unit("Crashes").enqueued[0].flags, kLogFlagsCritical);
    auto sent = unit("Crashes").logsOf<AppleErrorLog>();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]->errorId, crashes->lastSessionCrashReportInstance()->incidentIdentifier);
    EXPECT_EQ(delegate->asked, std::vector<std::string>{*sent[0]->errorId});
    EXPECT_EQ(storedReports(), 0u);
    EXPECT_TRUE(crashes->crashFiles().empty());

    auto next = launch();
    scheduler.advance(platform::Seconds(2));
    EXPECT_FALSE(next->didCrashInLastSession());
    EXPECT_TRUE(unit("Crashes").enqueued.empty());
}

TEST_F(CrashesServiceTest, AReportThatKilledItsConversionIsMovedAsideAndNeverRetried) {
    createFileAtPathComponent("crashes/BcnCrashes.analyzer", std::nullopt, false, true);
    auto crashes = launchAfterCrash();
    EXPECT_EQ(log.count("Error on loading the crash report, it will be purged."), 1u);
    EXPECT_FALSE(fs::exists(pendingReportPath()));
    bool keptAside = false;
    for (const auto& entry : fs::directory_iterator(pendingReportPath().parent_path()))
        keptAside |= entry.path().filename().string().starts_with("live_report.zvcrash.unreadable-");
    EXPECT_TRUE(keptAside) << "the report is kept for inspection";
    EXPECT_FALSE(fileExistsForPathComponent("crashes/BcnCrashes.analyzer"));
    EXPECT_TRUE(crashes->crashFiles().empty());
    scheduler.advance(platform::Seconds(2));
    EXPECT_TRUE(unit("Crashes").enqueued.empty());
}

TEST_F(CrashesServiceTest, AStoredReportThatCannotBeReadIsDiscardedOnce) {
    createFileAtPathComponent("crashes/700000000",
                              std::vector<std::uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'r', 'e', 'p'}, true, true);
    auto crashes = launch();
    scheduler.advance(platform::Seconds(2));
    EXPECT_TRUE(unit("Crashes").enqueued.empty());
    EXPECT_EQ(storedReports(), 0u) << "an unreadable report would be read again at every start";
}

TEST_F(CrashesServiceTest, ReportsAreDeletedInsteadOfSentWhenTheServiceIsDisabled) {
    auto crashes = launchAfterCrash();
    ASSERT_EQ(storedReports(), 1u);
    // Disabled after the report was stored, before the delayed processing.
    BeaconUserDefaults::shared()->setObject(platform::Value(false), "CrashesIsEnabled");
    scheduler.advance(platform::Seconds(1));
    EXPECT_TRUE(unit("Crashes").enqueued.empty());
    EXPECT_FALSE(fileExistsForPathComponent("crashes"));
    EXPECT_EQ(log.count("Crashes service is disabled; discard all crash reports"), 1u);

    // Disabling through the switch deletes every crash file at once.
    BeaconUserDefaults::shared()->setObject(platform::Value(true), "CrashesIsEnabled");
    createFileAtPathComponent("crashes/123", std::vector<std::uint8_t>{1, 2}, false, true);
    createFileAtPathComponent("crasheslogbuffer/3.bcncrasheslogbuffer", std::vector<std::uint8_t>{1}, false, true);
    crashes->setInstanceEnabled(false);
    EXPECT_FALSE(fileExistsForPathComponent("crashes"));
    EXPECT_EQ(fs::file_size(*fullURLForPathComponent("crasheslogbuffer/3.bcncrasheslogbuffer")), 0u);
}

// Declined by the delegate or, after the delegate let it through, by the
// user's "don't send": deleted, never sent.
TEST_F(CrashesServiceTest, DeclinedReportsAreDiscarded) {
    for (const bool byUser : {false, true}) {
        SCOPED_TRACE(byUser ? "the user: don't send" : "the delegate: do not process");
        delegate->process = byUser ? std::nullopt : std::optional(false);
        auto crashes = launchAfterCrash();
        if (byUser) crashes->setUserConfirmationHandlerInstance([](const auto&) { return true; });
        scheduler.advance(platform::Seconds(1));
        if (byUser) Crashes::notifyWithUserConfirmation(UserConfirmation::DontSend);
        EXPECT_EQ(delegate->asked.size(), byUser ? 2u : 1u); // once per launch
        EXPECT_TRUE(unit("Crashes").enqueued.empty());
        EXPECT_EQ(storedReports(), 0u);
        EXPECT_TRUE(crashes->unprocessedCrashReports().empty());
    }
}

TEST_F(CrashesServiceTest, AttachmentsUpToSevenMebibytesAreSent) {
    auto attachment = [](std::size_t size) {
        return std::make_shared<ErrorAttachmentLog>(std::string("f") + std::to_string(size),
                                                    std::vector<std::uint8_t>(size, 'x'), "text/plain");
    };
    delegate->attachments = std::vector{attachment(7340032), attachment(7340033)};
    launchAfterCrash();
    scheduler.advance(platform::Seconds(1));
    const auto sent = unit("Crashes").logsOf<ErrorAttachmentLog>();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]->data->size(), 7340032u);
    EXPECT_EQ(sent[0]->errorId, unit("Crashes").logsOf<AppleErrorLog>().at(0)->errorId);
    EXPECT_TRUE(sent[0]->device) << "an attachment without a device gets the error log's";
    EXPECT_EQ(log.count("Discarding attachment with size above 7340032 bytes: size=7340033, fileName=f7340033."), 1u);
}

TEST_F(CrashesServiceTest, HandledErrorsAreSentOnlyWhileEnabled) {
    auto crashes = launch();
    const auto id = Crashes::trackError("com.example.io", {{"path", "/tmp/x"}}, {{"k", "v"}});
    ASSERT_TRUE(id);
    const auto handled = unit("Crashes").logsOf<HandledErrorLog>();
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0]->errorId, id);
    EXPECT_EQ(handled[0]->exception->type, "com.example.io");
    EXPECT_EQ(handled[0]->properties, (std::map<std::string, std::string>{{"k", "v"}}));

    crashes->setInstanceEnabled(false);
    EXPECT_FALSE(Crashes::trackError("com.example.io", {}));
    EXPECT_EQ(unit("Crashes").logsOf<HandledErrorLog>().size(), 1u);
}

TEST_F(CrashesServiceTest, UserConfirmationAlwaysIsPersistedAndSkipsLaterQuestions) {
    int questions = 0;
    auto crashes = launchAfterCrash(1);
    crashes->setUserConfirmationHandlerInstance([&](const auto& reports) {
        ++questions;
        EXPECT_EQ(reports.size(), 1u);
        return true; // the application asks the user and answers later
    });
    scheduler.advance(platform::Seconds(1));
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(unit("Crashes").enqueued.empty());
    EXPECT_EQ(crashes->unprocessedCrashReports().size(), 1u);

    Crashes::notifyWithUserConfirmation(UserConfirmation::Always);
    EXPECT_EQ(unit("Crashes").logsOf<AppleErrorLog>().size(), 1u);
    EXPECT_EQ(store->storedObject("BeaconCrashesUserConfirmation"), platform::Value(true));

    auto next = launchAfterCrash(2);
    next->setUserConfirmationHandlerInstance([&](const auto&) { return ++questions, true; });
    scheduler.advance(platform::Seconds(1));
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(unit("Crashes").logsOf<AppleErrorLog>().size(), 1u);
}

TEST_F(CrashesServiceTest, UnprocessedReportsNeverWaitWhenNoProcessingRuns) {
    // In the background the delayed processing stops; the waiting caller
    // gets the (empty) list at once.
    Crashes::setApplicationStateProvider([] { return Crashes::kApplicationStateBackground; });
    auto crashes = launchAfterCrash();
    scheduler.advance(platform::Seconds(1));
    EXPECT_EQ(log.count("Crashes will not be processed because the application is in the background."), 1u);
    EXPECT_TRUE(crashes->unprocessedCrashReports().empty());
    EXPECT_EQ(storedReports(), 1u) << "kept for the next launch";

    Crashes::resetSharedInstance();
    EXPECT_TRUE(Crashes::sharedInstance()->unprocessedCrashReports().empty()); // never started
}

TEST_F(CrashesServiceTest, AMemoryWarningIsReportedByTheNextLaunch) {
    launch();
    ASSERT_NE(memoryPressure, nullptr);
    memoryPressure->fire();
    scheduler.runUntilIdle();
    EXPECT_EQ(store->storedObject("BeaconAppDidReceiveMemoryWarning"), platform::Value(true));

    auto next = launch();
    EXPECT_TRUE(next->didReceiveMemoryWarningInLastSession());
    EXPECT_FALSE(store->storedObject("BeaconAppDidReceiveMemoryWarning"));
}

TEST_F(CrashesServiceTest, BufferedLogsOfACrashAreResentThroughTheirOwnUnit) {
    auto crashes = launch();
    FakeUnit analytics(ChannelUnitConfiguration::defaultConfiguration("Analytics"));
    for (int i = 0; i < 2; ++i) {
        auto log = std::make_shared<LogWithProperties>();
        log->sid = "s" + std::to_string(i);
        log->timestamp = std::chrono::system_clock::now();
        crashes->channelDidPrepareLog(analytics, log, "id-" + std::to_string(i), kLogFlagsNormal);
    }
    crashes->channelDidCompleteEnqueueingLog(analytics, nullptr, "id-0");
    CrashLogBuffer::writeAfterCrash();

    launch();
    const auto& resent = unit("CrashesBuffer").enqueued;
    ASSERT_EQ(resent.size(), 1u);
    EXPECT_EQ(resent[0].log->sid, "s1");
    EXPECT_EQ(unit("CrashesBuffer").configuration(), ChannelUnitConfiguration("CrashesBuffer", 2, 1, 50, 1));
    EXPECT_EQ(unit("Crashes").configuration(), ChannelUnitConfiguration("Crashes", 2, 1, 1, 3));
}

} // namespace
} // namespace beacon
