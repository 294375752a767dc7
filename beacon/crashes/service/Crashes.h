#pragma once

#include "beacon/channel/ChannelDelegate.h"
#include "beacon/core/ServiceAbstract.h"
#include "beacon/crashes/model/AppleErrorLog.h"
#include "beacon/crashes/model/ErrorAttachmentLog.h"
#include "beacon/crashes/model/ErrorReport.h"
#include "beacon/crashes/model/ExceptionModel.h"
#include "beacon/crashes/service/CrashesDelegate.h"
#include "beacon/util/MemoryPressureSource.h"
#include "platform/UncaughtExceptionHandler.h"

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace crashcapture {
class CrashReporter;
}

namespace beacon {

class CrashLogBuffer;
class Encrypter;

// Answers of the application about sending the pending crash reports.
enum class UserConfirmation : int { DontSend = 0, Send = 1, Always = 2 };

// The crash reporting service. At start it arms the crash capture engine
// (signal mode), keeps the report of a crash of the previous run as a file in
// "crashes", and one second later converts every stored report into an
// "appleError" log, asks the delegate whether to process it and enqueues it
// with its attachments on the "Crashes" unit. It also sends handled errors,
// re-sends the logs that were in flight at a crash (the crash log buffer,
// unit "CrashesBuffer") and records memory warnings.
//
// Persisted ("Beacon"-prefixed settings): "AppDidReceiveMemoryWarning",
// "CrashesUserConfirmation", and "CrashesIsEnabled" of the service base.
class Crashes : public ServiceAbstract, public ChannelDelegate {
public:
    static constexpr const char* kServiceName = "Crashes";
    static constexpr const char* kLogTag = "BeaconCrashes";
    static constexpr int kInitializationPriority = 999;
    static constexpr const char* kCrashesDirectory = "crashes";
    static constexpr const char* kAnalyzerFileName = "BcnCrashes.analyzer";
    static constexpr const char* kMemoryWarningKey = "AppDidReceiveMemoryWarning";
    static constexpr const char* kUserConfirmationKey = "CrashesUserConfirmation";
    static constexpr std::size_t kMaxAttachmentSize = 7 * 1024 * 1024;
    static constexpr const char* kBufferGroupId = "CrashesBuffer";
    // Application state "background" of the utilities' state query.
    static constexpr int kApplicationStateBackground = 2;

    using UserConfirmationHandler = std::function<bool(const std::vector<std::shared_ptr<ErrorReport>>& reports)>;
    using ApplicationStateProvider = std::function<int()>;
    using Attachments = std::vector<std::shared_ptr<ErrorAttachmentLog>>;

    static std::shared_ptr<Crashes> sharedInstance();
    // Drops the shared instance (tests); the next use makes a new one.
    static void resetSharedInstance();

    // Class operations for the application; each acts on the shared instance.
    static void setDelegate(std::weak_ptr<CrashesDelegate> delegate);
    static std::shared_ptr<CrashesDelegate> delegate();
    static bool hasCrashedInLastSession();
    static bool hasReceivedMemoryWarningInLastSession();
    static std::shared_ptr<ErrorReport> lastSessionCrashReport();
    static void setUserConfirmationHandler(UserConfirmationHandler handler);
    static void notifyWithUserConfirmation(UserConfirmation confirmation);
    // A handled error from an error domain and its user information; the id
    // of the error log, nothing when it was not enqueued.
    static std::optional<std::string> trackError(const std::string& domain,
                                                 const std::map<std::string, std::string>& userInfo,
                                                 const std::map<std::string, std::string>& properties = {},
                                                 const Attachments& attachments = {});
    static std::optional<std::string> trackException(std::shared_ptr<ExceptionModel> exception,
                                                     const std::map<std::string, std::string>& properties = {},
                                                     const Attachments& attachments = {});
    // Linux has no Mach exceptions; kept so that callers written for it work.
    static void disableMachExceptionHandler();
    // Stops the process with a trap instruction, so that the crash capture
    // writes a report.
    static void generateTestCrash();
    // An exception reported by the application object (the Qt application's
    // event dispatch): handed to the engine's uncaught-exception handler.
    static void applicationDidReportException(const platform::UncaughtException& exception);

    // Collaborators (set before the service starts; tests use them).
    // Where the crash capture engine keeps its files; unset: the user's cache.
    static void setCrashReporterBasePath(std::optional<std::filesystem::path> basePath);
    static void setMemoryPressureSourceFactory(MemoryPressureSourceFactory factory);
    // The application state (0 active, 1 inactive, 2 background); unset:
    // the utilities' application-state query.
    static void setApplicationStateProvider(ApplicationStateProvider provider);

    Crashes();
    ~Crashes() override;

    // Service identity.
    std::string serviceName() const override { return kServiceName; }
    std::string groupId() const override { return kServiceName; }
    std::string logTag() const override { return kLogTag; }
    int initializationPriority() const override { return kInitializationPriority; }
    std::optional<ChannelUnitConfiguration> channelUnitConfiguration() const override;

    void startWithChannelGroup(std::shared_ptr<ChannelGroupProtocol> channelGroup, std::optional<std::string> appSecret,
                               std::optional<std::string> transmissionTargetToken, bool fromApplication) override;
    void updateConfiguration(std::optional<std::string> appSecret,
                             std::optional<std::string> transmissionTargetToken) override;
    void applyEnabledState(bool isEnabled) override;

    // Channel delegate: the crash buffer and the send notifications.
    void channelDidPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                              const std::string& internalId, LogFlags flags) override;
    void channelDidCompleteEnqueueingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                         const std::string& internalId) override;
    void channelWillSendLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidSucceedSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidFailSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                  const std::optional<Error>& error) override;

    // Instance operations behind the class operations and the wrapper hooks.
    void setDelegateInstance(std::weak_ptr<CrashesDelegate> delegate);
    std::shared_ptr<CrashesDelegate> delegateInstance() const;
    bool didCrashInLastSession() const;
    bool didReceiveMemoryWarningInLastSession() const;
    std::shared_ptr<ErrorReport> lastSessionCrashReportInstance() const;
    void setUserConfirmationHandlerInstance(UserConfirmationHandler handler);
    void notifyWithUserConfirmationInstance(UserConfirmation confirmation);
    std::optional<std::string> trackExceptionInstance(std::shared_ptr<ExceptionModel> exception,
                                                      const std::map<std::string, std::string>& properties,
                                                      const Attachments& attachments);
    void setAutomaticProcessingEnabled(bool enabled);
    bool isAutomaticProcessingEnabled() const;
    // The unprocessed error reports; waits while start-up processing is
    // still due (never when none will run).
    std::vector<std::shared_ptr<ErrorReport>> unprocessedCrashReports();
    bool sendCrashReportsOrAwaitUserConfirmationForFilteredIds(const std::vector<std::string>& incidentIds);
    void sendErrorAttachments(const Attachments& attachments, const std::string& incidentIdentifier);
    std::shared_ptr<ErrorReport> buildHandledErrorReportWithErrorID(const std::string& errorId);
    void didReceiveMemoryWarning();
    std::vector<std::filesystem::path> crashFiles() const;
    crashcapture::CrashReporter* crashReporter() const;
    // Runs start-up processing now (the delayed task does this one second
    // after the service was enabled).
    void startCrashProcessing();

private:
    void configureCrashReporterWithUncaughtExceptionHandlerEnabled(bool enableUncaughtExceptionHandler);
    void handleLatestCrashReport();
    std::vector<std::filesystem::path> persistedCrashReports() const;
    void startDelayedProcessing();
    void processCrashReports();
    bool sendCrashReportsOrAwaitUserConfirmation();
    void handleUserConfirmation(UserConfirmation confirmation);
    void clearUnprocessed();
    void removeCrashFile(const std::filesystem::path& file);
    void processLogBufferAfterCrash();
    void processMemoryWarningInLastSession();
    void finishProcessing();
    template <typename Notify> void notifyDelegateOfErrorLog(const std::shared_ptr<AbstractLog>& log, Notify notify);
    static void clearContextHistoryAndKeepCurrentSession();

    std::unique_ptr<crashcapture::CrashReporter> crashReporter_;
    platform::UncaughtExceptionHandler exceptionHandler_ = nullptr;
    std::vector<std::filesystem::path> crashFiles_;
    std::vector<std::shared_ptr<AppleErrorLog>> unprocessedLogs_;
    std::vector<std::shared_ptr<ErrorReport>> unprocessedReports_;
    std::vector<std::filesystem::path> unprocessedFilePaths_;
    std::shared_ptr<ErrorReport> lastSessionCrashReport_;
    bool didCrashInLastSession_ = false;
    bool didReceiveMemoryWarningInLastSession_ = false;
    Date appStartTime_;
    bool automaticProcessingEnabled_ = true;
    bool enableMachExceptionHandler_ = true;
    std::shared_ptr<Encrypter> targetTokenEncrypter_;
    std::unique_ptr<CrashLogBuffer> crashLogBuffer_;
    std::shared_ptr<ChannelUnitProtocol> bufferChannelUnit_;
    std::unique_ptr<MemoryPressureSource> memoryPressureSource_;
    std::weak_ptr<CrashesDelegate> delegate_;
    UserConfirmationHandler userConfirmationHandler_;

    // Start-up processing: due (delayed task scheduled), done, or none.
    enum class Processing { None, Due, Done };
    std::mutex processingMutex_;
    std::condition_variable processingChanged_;
    Processing processing_ = Processing::None;
    bool processedOnce_ = false;
};

} // namespace beacon
