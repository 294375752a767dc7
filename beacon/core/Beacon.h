#pragma once

#include "beacon/logger/Logger.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace beacon {

class ChannelGroupDefault;
class ChannelGroupProtocol;
class ChannelUnitProtocol;
class CollectorChannelDelegate;
class DirectoryLock;
class HttpClientProtocol;
class ServiceAbstract;
class WrapperSdk;

// The front door of the telemetry: configured once at launch with the app
// secret and the services, it builds the channel group, starts the services
// (highest priority first) and sends one start-service log naming them.
// Afterwards it offers the global switches. Every operation may be called
// from any thread; the singleton guards its state with its own lock.
//
// Persisted (through the "Beacon"-prefixed settings): "BeaconIsEnabled",
// "NetworkRequestsAllowed", "InstallId".
class Beacon {
public:
    static constexpr const char* kLogTag = "Beacon";
    static constexpr const char* kGroupId = "Beacon";
    static constexpr const char* kEnabledKey = "BeaconIsEnabled";
    // The same key with the settings prefix, as stored. The key itself begins
    // with the prefix, which the prefixed store reports as a mistake on every
    // use, so it is used under this name directly in the store.
    static constexpr const char* kEnabledStoredKey = "BeaconBeaconIsEnabled";
    static constexpr const char* kNetworkRequestsAllowedKey = "NetworkRequestsAllowed";
    static constexpr const char* kInstallIdKey = "InstallId";
    static constexpr const char* kDisableVariable = "BEACON_DISABLE";
    static constexpr const char* kDisableAllServices = "All";
    static constexpr const char* kTestCloudVariable = "RUNNING_IN_TEST_CLOUD";
    static constexpr std::int64_t kMinAcceptedMaxStorageSizeInBytes = 24 * 1024;

    using Services = std::vector<std::shared_ptr<ServiceAbstract>>;

    static std::shared_ptr<Beacon> sharedInstance();
    // Drops the singleton (tests); the next use makes a new one.
    static void resetSharedInstance();
    // At quit: waits, at most `bound`, until no batch is on the wire and the
    // answers that came are handled, so that a batch the server took is not
    // sent again at the next start. True when nothing was left waiting.
    static bool finishSendsInFlight(std::chrono::milliseconds bound);

    // Class-level operations (each forwards to the singleton).

    // `secretString` holds the app secret and/or a transmission target
    // token ("target=..."), see SecretStrings.h.
    static void configureWithAppSecret(const std::string& secretString);
    static void configure();
    static void start(const std::string& secretString, const Services& services);
    static void startWithServices(const Services& services);
    static void startFromLibraryWithServices(const Services& services);
    static void startService(const std::shared_ptr<ServiceAbstract>& service);
    static bool isConfigured();
    static bool isRunningInTestCloud();

    static void setLogUrl(const std::string& logUrl);
    static std::optional<std::string> logUrl();
    static void setEnabled(bool isEnabled);
    static bool isEnabled();
    static void setNetworkRequestsAllowed(bool isAllowed);
    static bool isNetworkRequestsAllowed();
    static bool isAppDelegateForwarderEnabled();
    static std::string installId();
    static LogLevel logLevel();
    static void setLogLevel(LogLevel level);
    static void setLogHandler(LogHandler handler);
    static LogHandler logHandler();
    static void setWrapperSdk(std::shared_ptr<WrapperSdk> wrapperSdk);
    static std::shared_ptr<WrapperSdk> wrapperSdk();
    static void setCountryCode(std::optional<std::string> countryCode);
    static std::optional<std::string> countryCode();
    static void setUserId(const std::optional<std::string>& userId);
    static std::optional<std::string> userId();
    static void setDataResidencyRegion(std::optional<std::string> region);
    static std::optional<std::string> dataResidencyRegion();
    // At least 24576 bytes, once per launch, before the application
    // configures the telemetry; `completionHandler` gets the outcome.
    static void setMaxStorageSize(std::int64_t sizeInBytes, std::function<void(bool)> completionHandler);
    // Whether a debugger traces this process (TracerPid of /proc/self/status),
    // computed once per process.
    static bool isDebuggerAttached();
    static std::string sdkVersion();
    static std::string logTag() { return kLogTag; }
    static std::string groupId() { return kGroupId; }

    // The tracer's pid in the text of /proc/<pid>/status; nothing when the
    // line is missing or unreadable.
    static std::optional<long> tracerPidFromStatus(std::string_view statusText);
    // Whether BEACON_DISABLE (a comma-separated list, blanks around names
    // ignored) names the service or "All".
    static bool shouldDisable(const std::string& serviceName);
    // The persisted "BeaconIsEnabled" flag (true when absent), read and
    // written without the telemetry's lock.
    static bool persistedEnabled();
    static void setPersistedEnabled(bool isEnabled);

    // Instance state used by the services.
    bool sdkConfigured() const;
    bool configuredFromApplication() const;
    bool enabledStateUpdating() const;
    bool canBeUsed() const;
    std::shared_ptr<ChannelGroupProtocol> channelGroup() const;
    std::shared_ptr<ChannelUnitProtocol> channelUnit() const;
    std::shared_ptr<CollectorChannelDelegate> collectorChannelDelegate() const;
    // Started services in start order.
    Services services() const;

    // Configures the telemetry; false for a second configuration from the
    // application, and while another process owns the store of the data
    // folder (another instance of this user): this one then runs without
    // telemetry, which it logs once.
    bool configureWithAppSecret(const std::optional<std::string>& appSecret,
                                const std::optional<std::string>& transmissionTargetToken, bool fromApplication);
    void startServices(const Services& services, const std::optional<std::string>& appSecret,
                       const std::optional<std::string>& transmissionTargetToken, bool fromApplication);
    bool startService(const std::shared_ptr<ServiceAbstract>& service, const std::optional<std::string>& appSecret,
                      const std::optional<std::string>& transmissionTargetToken, bool fromApplication);
    void sendStartServiceLog(const std::vector<std::string>& serviceNames);

    Beacon();
    ~Beacon();

private:
    void initializeChannelGroup();
    void applyPipelineEnabledState(bool isEnabled);
    void setEnabledInstance(bool isEnabled);
    bool isEnabledInstance() const;
    std::string installIdInstance();
    void setMaxStorageSizeInstance(std::int64_t sizeInBytes, std::function<void(bool)> completionHandler);
    void setUserIdInstance(const std::optional<std::string>& userId);
    void setNetworkRequestsAllowedInstance(bool isAllowed);
    void setLogUrlInstance(const std::string& logUrl);
    static void start(const std::optional<std::string>& appSecret,
                      const std::optional<std::string>& transmissionTargetToken, const Services& services,
                      bool fromApplication);

    mutable std::recursive_mutex mutex_;
    // Read without the lock by the services, which must not take it while
    // holding their own.
    std::atomic<bool> sdkConfigured_ = false;
    bool configuredFromApplication_ = false;
    std::atomic<bool> enabledStateUpdating_ = false;
    bool setMaxStorageSizeHasBeenCalled_ = false;
    std::optional<std::string> installId_;
    std::optional<std::string> logUrl_;
    std::shared_ptr<ChannelUnitProtocol> channelUnit_;
    std::shared_ptr<CollectorChannelDelegate> collectorChannelDelegate_;
    std::shared_ptr<ChannelGroupDefault> channelGroup_;
    // The clients made for the channel group and the Collector delegate.
    std::vector<std::shared_ptr<HttpClientProtocol>> httpClients_;
    Services services_;
    std::optional<std::vector<std::string>> startedServiceNames_;
    // Held while this process owns the store of the data folder.
    std::unique_ptr<DirectoryLock> storeLock_;
    bool storeLockRefused_ = false;
    std::optional<std::string> appSecret_;
    std::optional<std::string> defaultTransmissionTargetToken_;
    std::optional<std::int64_t> requestedMaxStorageSizeInBytes_;
    std::function<void(bool)> maxStorageSizeCompletionHandler_;
};

} // namespace beacon
