#include "beacon/core/Beacon.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/channel/ChannelGroupDefault.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/channel/CollectorChannelDelegate.h"
#include "beacon/context/AppDelegateForwarder.h"
#include "beacon/context/DeviceHistoryInfo.h"
#include "beacon/context/DeviceTracker.h"
#include "beacon/context/SessionContext.h"
#include "beacon/context/SessionHistoryInfo.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/context/UserIdHistoryInfo.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/core/ServiceAbstract.h"
#include "beacon/crashes/model/UuidText.h"
#include "beacon/http/HttpClient.h"
#include "beacon/ingestion/HttpIngestion.h"
#include "beacon/model/LogContainer.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/model/StartServiceLog.h"
#include "beacon/model/WrapperSdk.h"
#include "beacon/storage/DirectoryLock.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/DispatcherUtil.h"
#include "beacon/util/FileUtility.h"
#include "beacon/util/NetlinkReachability.h"
#include "beacon/util/SdkInfo.h"
#include "beacon/util/SecretStrings.h"
#include "platform/Deployment.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

namespace beacon {

namespace {

std::mutex& sharedMutex() {
    static std::mutex instance;
    return instance;
}

std::shared_ptr<Beacon>& sharedSlot() {
    static std::shared_ptr<Beacon> slot;
    return slot;
}

std::string trimmed(std::string_view text) {
    auto begin = text.find_first_not_of(" \t\r\n\f\v");
    if (begin == std::string_view::npos) return {};
    auto end = text.find_last_not_of(" \t\r\n\f\v");
    return std::string(text.substr(begin, end - begin + 1));
}

bool isUuidText(const std::string& text) {
    static const std::regex pattern("^[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}$");
    return std::regex_match(text, pattern);
}

template <typename T> ArchiveClass formerName(const char* name) {
    return ArchiveClass{name, [] { return std::make_shared<T>(); }};
}

const char* origin(bool fromApplication) { return fromApplication ? "" : "from a library "; }

} // namespace

std::shared_ptr<Beacon> Beacon::sharedInstance() {
    std::lock_guard lock(sharedMutex());
    auto& slot = sharedSlot();
    if (!slot) slot = std::make_shared<Beacon>();
    return slot;
}

void Beacon::resetSharedInstance() {
    std::shared_ptr<Beacon> dropped;
    {
        std::lock_guard lock(sharedMutex());
        dropped = std::move(sharedSlot());
    }
    setDataResidencyRegion(std::nullopt);
}

bool Beacon::finishSendsInFlight(std::chrono::milliseconds bound) {
    std::shared_ptr<Beacon> beacon;
    {
        std::lock_guard lock(sharedMutex());
        beacon = sharedSlot();
    }
    if (!beacon) return true;
    std::vector<std::shared_ptr<HttpClientProtocol>> clients;
    std::shared_ptr<ChannelGroupDefault> group;
    {
        std::lock_guard lock(beacon->mutex_);
        clients = beacon->httpClients_;
        group = beacon->channelGroup_;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    bool finished = true;
    for (const auto& client : clients) finished = client->finishCallsInProgress(deadline) && finished;
    // The channels handle the answers on the group's queue: a batch the
    // server took is deleted from the store there.
    if (group) {
        const platform::Seconds left = deadline - std::chrono::steady_clock::now();
        finished = left.count() > 0 &&
                   DispatcherUtil::dispatchSyncWithTimeout(left, *group->logsDispatchQueue(), [] {}) && finished;
    }
    return finished;
}

Beacon::Beacon() {
    BeaconUserDefaults::shared()->migrateKeys(
        {
            {"BeaconChannelStartTimer", UserDefaultsPrefixKey("ZvChannelStartTimer")},
            {"BeaconPastDevices", std::string("pastDevicesKey")},
            {"BeaconInstallId", std::string("ZvInstallId")},
            {"BeaconBeaconIsEnabled", std::string("BeaconIsEnabled")},
            {"BeaconEncryptionKeyMetadata", std::string("ZvEncryptionKeyMetadata")},
            {"BeaconSessionIdHistory", std::string("SessionIdHistory")},
            {"BeaconUserIdHistory", std::string("UserIdHistory")},
        },
        "Beacon");
    // Archives written under the former class names still read back.
    ArchiverUtil::addAllowedBeaconModuleClasses();
    ArchiverUtil::addAllowedClasses({
        formerName<DeviceHistoryInfo>("ZvDeviceHistoryInfo"),
        formerName<Device>("ZvDevice"),
        formerName<StartServiceLog>("ZvStartServiceLog"),
        formerName<SessionHistoryInfo>("ZvSessionHistoryInfo"),
        formerName<UserIdHistoryInfo>("ZvUserIdHistoryInfo"),
        formerName<LogWithProperties>("ZvLogWithProperties"),
        formerName<LogContainer>("ZvLogContainer"),
        formerName<WrapperSdk>("ZvWrapperSdk"),
        formerName<AbstractLog>("ZvAbstractLog"),
    });
}

Beacon::~Beacon() = default;

// Class-level operations.

void Beacon::configureWithAppSecret(const std::string& secretString) {
    sharedInstance()->configureWithAppSecret(appSecretFrom(secretString), transmissionTargetTokenFrom(secretString),
                                             true);
}

void Beacon::configure() { sharedInstance()->configureWithAppSecret(std::nullopt, std::nullopt, true); }

void Beacon::start(const std::optional<std::string>& appSecret,
                   const std::optional<std::string>& transmissionTargetToken, const Services& services,
                   bool fromApplication) {
    auto beacon = sharedInstance();
    if (beacon->configureWithAppSecret(appSecret, transmissionTargetToken, fromApplication))
        beacon->startServices(services, appSecret, transmissionTargetToken, fromApplication);
}

void Beacon::start(const std::string& secretString, const Services& services) {
    start(appSecretFrom(secretString), transmissionTargetTokenFrom(secretString), services, true);
}

void Beacon::startWithServices(const Services& services) { start(std::nullopt, std::nullopt, services, true); }

void Beacon::startFromLibraryWithServices(const Services& services) {
    start(std::nullopt, std::nullopt, services, false);
}

void Beacon::startService(const std::shared_ptr<ServiceAbstract>& service) {
    auto beacon = sharedInstance();
    std::optional<std::string> secret;
    std::optional<std::string> token;
    {
        std::lock_guard lock(beacon->mutex_);
        secret = beacon->appSecret_;
        token = beacon->defaultTransmissionTargetToken_;
    }
    beacon->startServices({service}, secret, token, true);
}

bool Beacon::isConfigured() {
    auto beacon = sharedInstance();
    std::lock_guard lock(beacon->mutex_);
    return beacon->sdkConfigured_ && beacon->configuredFromApplication_;
}

bool Beacon::isRunningInTestCloud() {
    const char* value = std::getenv(kTestCloudVariable);
    return value && std::string_view(value) == "1";
}

void Beacon::setLogUrl(const std::string& logUrl) { sharedInstance()->setLogUrlInstance(logUrl); }

std::optional<std::string> Beacon::logUrl() {
    auto beacon = sharedInstance();
    std::lock_guard lock(beacon->mutex_);
    return beacon->logUrl_;
}

void Beacon::setEnabled(bool isEnabled) { sharedInstance()->setEnabledInstance(isEnabled); }

bool Beacon::isEnabled() { return sharedInstance()->isEnabledInstance(); }

void Beacon::setNetworkRequestsAllowed(bool isAllowed) {
    sharedInstance()->setNetworkRequestsAllowedInstance(isAllowed);
}

bool Beacon::isNetworkRequestsAllowed() {
    auto beacon = sharedInstance();
    std::lock_guard lock(beacon->mutex_);
    const auto value = BeaconUserDefaults::shared()->objectForKey(kNetworkRequestsAllowedKey);
    return !value || value->truthy();
}

std::string Beacon::installId() { return sharedInstance()->installIdInstance(); }

LogLevel Beacon::logLevel() { return Logger::currentLogLevel(); }

void Beacon::setLogLevel(LogLevel level) {
    Logger::setCurrentLogLevel(level);
    // The forwarder's traces waited for the level to be known.
    AppDelegateForwarder::sharedInstance()->flushTraceBuffer();
}

bool Beacon::isAppDelegateForwarderEnabled() { return AppDelegateForwarder::sharedInstance()->enabled(); }

void Beacon::setLogHandler(LogHandler handler) { Logger::setLogHandler(std::move(handler)); }

LogHandler Beacon::logHandler() { return Logger::logHandler(); }

void Beacon::setWrapperSdk(std::shared_ptr<WrapperSdk> wrapperSdk) {
    DeviceTracker::sharedInstance()->setWrapperSdk(std::move(wrapperSdk));
}

std::shared_ptr<WrapperSdk> Beacon::wrapperSdk() { return DeviceTracker::wrapperSdk(); }

void Beacon::setCountryCode(std::optional<std::string> countryCode) {
    DeviceTracker::setCountryCode(std::move(countryCode));
}

std::optional<std::string> Beacon::countryCode() { return DeviceTracker::countryCode(); }

void Beacon::setUserId(const std::optional<std::string>& userId) { sharedInstance()->setUserIdInstance(userId); }

std::optional<std::string> Beacon::userId() { return UserIdContext::sharedInstance()->userId(); }

// Read by every enqueued log, so kept apart from the singleton: reading it
// neither makes the singleton nor waits for its lock.
namespace {
std::mutex& regionMutex() {
    static std::mutex instance;
    return instance;
}
std::optional<std::string>& regionSlot() {
    static std::optional<std::string> slot;
    return slot;
}
} // namespace

void Beacon::setDataResidencyRegion(std::optional<std::string> region) {
    std::lock_guard lock(regionMutex());
    regionSlot() = std::move(region);
}

std::optional<std::string> Beacon::dataResidencyRegion() {
    std::lock_guard lock(regionMutex());
    return regionSlot();
}

void Beacon::setMaxStorageSize(std::int64_t sizeInBytes, std::function<void(bool)> completionHandler) {
    sharedInstance()->setMaxStorageSizeInstance(sizeInBytes, std::move(completionHandler));
}

std::optional<long> Beacon::tracerPidFromStatus(std::string_view statusText) {
    std::istringstream lines{std::string(statusText)};
    std::string line;
    while (std::getline(lines, line)) {
        constexpr std::string_view kField = "TracerPid:";
        if (line.compare(0, kField.size(), kField) != 0) continue;
        const std::string value = trimmed(std::string_view(line).substr(kField.size()));
        if (value.empty() || !std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); }))
            return std::nullopt;
        try {
            return std::stol(value);
        } catch (...) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool Beacon::isDebuggerAttached() {
    static const bool attached = [] {
        std::ifstream file("/proc/self/status");
        std::stringstream text;
        text << file.rdbuf();
        const auto tracer = file ? tracerPidFromStatus(text.str()) : std::nullopt;
        if (!tracer) {
            BEACON_LOG(LogLevel::Error, kCrashesLogTag,
                       "[BcnCrashes] ERROR: Checking for a running debugger via sysctl() failed.");
            return false;
        }
        return *tracer != 0;
    }();
    return attached;
}

std::string Beacon::sdkVersion() { return kSdkVersion; }

bool Beacon::shouldDisable(const std::string& serviceName) {
    const char* value = std::getenv(kDisableVariable);
    if (!value) return false;
    std::string_view rest(value);
    while (true) {
        const auto comma = rest.find(',');
        const std::string piece = trimmed(rest.substr(0, comma));
        if (piece == serviceName || piece == kDisableAllServices) return true;
        if (comma == std::string_view::npos) return false;
        rest.remove_prefix(comma + 1);
    }
}

// Instance state.

bool Beacon::sdkConfigured() const { return sdkConfigured_; }

bool Beacon::configuredFromApplication() const {
    std::lock_guard lock(mutex_);
    return configuredFromApplication_;
}

bool Beacon::enabledStateUpdating() const { return enabledStateUpdating_; }

bool Beacon::canBeUsed() const {
    if (sdkConfigured_) return true;
    BEACON_LOG_ERROR("Beacon SDK hasn't been configured. You need to call [BcnBeacon start:YOUR_APP_SECRET "
                     "withServices:LIST_OF_SERVICES] first.");
    return false;
}

std::shared_ptr<ChannelGroupProtocol> Beacon::channelGroup() const {
    std::lock_guard lock(mutex_);
    return channelGroup_;
}

std::shared_ptr<ChannelUnitProtocol> Beacon::channelUnit() const {
    std::lock_guard lock(mutex_);
    return channelUnit_;
}

std::shared_ptr<CollectorChannelDelegate> Beacon::collectorChannelDelegate() const {
    std::lock_guard lock(mutex_);
    return collectorChannelDelegate_;
}

Beacon::Services Beacon::services() const {
    std::lock_guard lock(mutex_);
    return services_;
}

bool Beacon::persistedEnabled() {
    const auto value = BeaconUserDefaults::shared()->store().object(kEnabledStoredKey);
    return !value || value->truthy();
}

void Beacon::setPersistedEnabled(bool isEnabled) {
    BeaconUserDefaults::shared()->store().set(kEnabledStoredKey, platform::Value(isEnabled));
}

// Configuration and services.

bool Beacon::configureWithAppSecret(const std::optional<std::string>& appSecret,
                                    const std::optional<std::string>& transmissionTargetToken, bool fromApplication) {
    std::lock_guard lock(mutex_);
    if (fromApplication && configuredFromApplication_) {
        BEACON_LOG_ASSERT("Beacon SDK has already been configured.");
        BEACON_LOG_ASSERT("Beacon SDK configuration ", origin(fromApplication), "failed.");
        return false;
    }
    // Reservations of pending rows live in the process, so two processes on
    // one store would send every log twice: the first one owns it.
    if (!storeLock_ && !DependencyConfiguration::storage()) {
        int error = 0;
        storeLock_ = DirectoryLock::acquire(beaconDirectoryURL(), &error);
        if (!storeLock_) {
            if (storeLockRefused_) return false;
            if (error == EWOULDBLOCK)
                BEACON_LOG_ASSERT("Another process of this user owns the telemetry store in ",
                                  beaconDirectoryURL().string(), "; this one runs without telemetry.");
            else
                BEACON_LOG_ASSERT("Cannot open the telemetry store in ", beaconDirectoryURL().string(), ": ",
                                  std::strerror(error), "; this one runs without telemetry.");
            storeLockRefused_ = true;
            return false;
        }
    }
    if (!appSecret_) {
        appSecret_ = appSecret;
        SessionContext::sharedInstance()->setSessionId(std::nullopt);
    }
    if (!defaultTransmissionTargetToken_) defaultTransmissionTargetToken_ = transmissionTargetToken;
    UserIdContext::sharedInstance();
    initializeChannelGroup();
    applyPipelineEnabledState(persistedEnabled());
    sdkConfigured_ = true;
    configuredFromApplication_ = configuredFromApplication_ || fromApplication;
    if (!Logger::isUserDefinedLogLevel() && kCurrentAppEnvironment == 99) setLogLevel(LogLevel::Warning);
    BEACON_LOG_INFO("Beacon SDK configured ", origin(fromApplication), "successfully.");
    return true;
}

namespace {

std::shared_ptr<HttpClientProtocol> makeNetworkClient(platform::Scheduler& scheduler) {
    if (auto injected = DependencyConfiguration::httpClient()) return injected;
    // Each client watches the network: calls are held while it is down and
    // sent when it comes back. The centre lives as long as the process, so no
    // client can outlive it.
    static auto* center = new platform::NotificationCenter;
    return HttpClient::create(scheduler, 4, std::make_shared<NetlinkReachability>(*center, scheduler), center);
}

} // namespace

void Beacon::initializeChannelGroup() {
    std::lock_guard lock(mutex_);
    auto& scheduler = DependencyConfiguration::scheduler();
    auto networkAllowed = [] {
        const auto value = BeaconUserDefaults::shared()->objectForKey(kNetworkRequestsAllowedKey);
        return !value || value->truthy();
    };
    auto makeHttpClient = [this, &scheduler, &networkAllowed]() -> std::shared_ptr<HttpClientProtocol> {
        auto client = makeNetworkClient(scheduler);
        client->setNetworkRequestsAllowed(networkAllowed());
        httpClients_.push_back(client);
        return client;
    };
    const std::string id = installIdInstance();
    if (!collectorChannelDelegate_) {
        const std::string baseUrl = !appSecret_ && logUrl_ ? *logUrl_ : platform::Deployment::load().collectorURL;
        collectorChannelDelegate_ = std::make_shared<CollectorChannelDelegate>(makeHttpClient(), id, baseUrl);
        if (auto http = std::dynamic_pointer_cast<HttpIngestion>(collectorChannelDelegate_->collectorIngestion()))
            http->setNetworkRequestsAllowed(networkAllowed);
    }
    if (!channelGroup_) {
        const std::string url = logUrl_ ? *logUrl_ : platform::Deployment::load().logURL;
        channelGroup_ =
            ChannelGroupDefault::create(scheduler, makeHttpClient(), id, url, DependencyConfiguration::storage());
        if (auto http = std::dynamic_pointer_cast<HttpIngestion>(channelGroup_->ingestion()))
            http->setNetworkRequestsAllowed(networkAllowed);
        channelGroup_->addDelegate(collectorChannelDelegate_);
        if (requestedMaxStorageSizeInBytes_)
            channelGroup_->setMaxStorageSize(*requestedMaxStorageSizeInBytes_, maxStorageSizeCompletionHandler_);
    }
    channelGroup_->setAppSecret(appSecret_);
    if (!channelUnit_)
        channelUnit_ =
            channelGroup_->addChannelUnitWithConfiguration(ChannelUnitConfiguration::defaultConfiguration(kGroupId));
}

void Beacon::startServices(const Services& services, const std::optional<std::string>& appSecret,
                           const std::optional<std::string>& transmissionTargetToken, bool fromApplication) {
    if (!sdkConfigured_) return;
    Services sorted = services;
    if (sorted.size() > 1)
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& first, const auto& second) {
            const int a = first ? first->initializationPriority() : 0;
            const int b = second ? second->initializationPriority() : 0;
            return a > b;
        });
    std::string names;
    for (const auto& service : sorted)
        names += (names.empty() ? "" : ", ") + (service ? service->serviceName() : std::string("(null)"));
    BEACON_LOG_VERBOSE("Start services ", names, " from ", fromApplication ? "an application" : "a library");
    std::vector<std::string> started;
    for (const auto& service : sorted)
        if (startService(service, appSecret, transmissionTargetToken, fromApplication))
            started.push_back(service->serviceName());
    if (started.empty()) {
        BEACON_LOG_DEBUG("No services have been started.");
        return;
    }
    if (fromApplication) sendStartServiceLog(started);
}

bool Beacon::startService(const std::shared_ptr<ServiceAbstract>& service, const std::optional<std::string>& appSecret,
                          const std::optional<std::string>& transmissionTargetToken, bool fromApplication) {
    std::lock_guard lock(mutex_);
    if (!service) {
        BEACON_LOG_ERROR("Cannot start service (null). Provided value is nil or invalid.");
        return false;
    }
    if (!sdkConfigured_ || (fromApplication && !configuredFromApplication_)) {
        BEACON_LOG_ERROR("Beacon has not been configured so it couldn't start the service.");
        return false;
    }
    const bool available = service->isAvailable();
    if (fromApplication && available && service->isStartedFromApplication()) return false;
    if (service->isAppSecretRequired() && appSecret_.value_or("").empty()) {
        BEACON_LOG_ERROR("Cannot start service ", service->serviceName(),
                         ". Beacon was started without app secret, but the service requires it.");
        return false;
    }
    if (shouldDisable(service->serviceName())) {
        BEACON_LOG_DEBUG("Environment variable to disable service has been set; not starting service ",
                         service->serviceName());
        return false;
    }
    if (!available) {
        if (std::find(services_.begin(), services_.end(), service) == services_.end()) services_.push_back(service);
        service->startWithChannelGroup(channelGroup_, appSecret_, defaultTransmissionTargetToken_, fromApplication);
        if (service->isInstanceEnabled() && !persistedEnabled()) {
            enabledStateUpdating_ = true;
            service->setEnabled(false);
            enabledStateUpdating_ = false;
        }
    } else if (fromApplication) {
        service->updateConfiguration(appSecret_, defaultTransmissionTargetToken_);
    }
    return true;
}

void Beacon::sendStartServiceLog(const std::vector<std::string>& serviceNames) {
    std::lock_guard lock(mutex_);
    if (isEnabledInstance()) {
        auto log = std::make_shared<StartServiceLog>();
        log->services = serviceNames;
        log->isCollectorEnabled = defaultTransmissionTargetToken_.has_value();
        if (channelUnit_) channelUnit_->enqueueItem(log, kLogFlagsNormal);
        return;
    }
    if (!startedServiceNames_) startedServiceNames_.emplace();
    startedServiceNames_->insert(startedServiceNames_->end(), serviceNames.begin(), serviceNames.end());
}

// Switches.

bool Beacon::isEnabledInstance() const {
    std::lock_guard lock(mutex_);
    return canBeUsed() && persistedEnabled();
}

void Beacon::setEnabledInstance(bool isEnabled) {
    std::lock_guard lock(mutex_);
    if (!canBeUsed()) return;
    enabledStateUpdating_ = true;
    if (isEnabled != persistedEnabled()) {
        setPersistedEnabled(isEnabled);
        applyPipelineEnabledState(isEnabled);
    }
    for (const auto& service : services_) service->setEnabled(isEnabled);
    enabledStateUpdating_ = false;
    BEACON_LOG_INFO("Beacon SDK ", isEnabled ? "enabled" : "disabled", ".");
}

void Beacon::applyPipelineEnabledState(bool isEnabled) {
    if (!isEnabled) {
        DeviceTracker::sharedInstance()->clearDevices();
        SessionContext::sharedInstance()->clearSessionHistoryAndKeepCurrentSession(false);
        UserIdContext::sharedInstance()->clearUserIdHistory();
    }
    std::lock_guard lock(mutex_);
    if (channelGroup_) channelGroup_->setEnabled(isEnabled, true);
    if (isEnabled && startedServiceNames_) {
        const auto names = std::move(*startedServiceNames_);
        startedServiceNames_.reset();
        sendStartServiceLog(names);
    }
}

void Beacon::setNetworkRequestsAllowedInstance(bool isAllowed) {
    std::lock_guard lock(mutex_);
    BEACON_LOG_INFO("Beacon SDK network requests are ", isAllowed ? "allowed" : "forbidden", ".");
    BeaconUserDefaults::shared()->setObject(platform::Value(isAllowed), kNetworkRequestsAllowedKey);
    // Retries and held calls already in the clients stop too.
    for (const auto& client : httpClients_) client->setNetworkRequestsAllowed(isAllowed);
    if (sdkConfigured_ && channelGroup_) {
        std::shared_ptr<const void> reason = channelGroup_;
        if (isAllowed) channelGroup_->resumeWithIdentifyingObject(reason);
        else channelGroup_->pauseWithIdentifyingObject(reason);
    }
}

void Beacon::setLogUrlInstance(const std::string& logUrl) {
    std::lock_guard lock(mutex_);
    logUrl_ = logUrl;
    if (!channelGroup_) return;
    if (appSecret_) {
        BEACON_LOG_INFO("The log url of Beacon endpoint was changed to ", logUrl);
        channelGroup_->setLogUrl(logUrl);
    } else {
        BEACON_LOG_INFO("The log url of Collector endpoint was changed to ", logUrl);
        if (collectorChannelDelegate_) collectorChannelDelegate_->setLogUrl(logUrl);
    }
}

void Beacon::setMaxStorageSizeInstance(std::int64_t sizeInBytes, std::function<void(bool)> completionHandler) {
    if (sizeInBytes < kMinAcceptedMaxStorageSizeInBytes) {
        if (completionHandler) completionHandler(false);
        BEACON_LOG_WARNING("Cannot set storage size to ", sizeInBytes, " bytes, minimum value is ",
                           kMinAcceptedMaxStorageSizeInBytes, " bytes");
        return;
    }
    std::lock_guard lock(mutex_);
    if (setMaxStorageSizeHasBeenCalled_) {
        BEACON_LOG_WARNING("setMaxStorageSize:completionHandler: may only be called once per app launch");
        if (completionHandler) completionHandler(false);
        return;
    }
    setMaxStorageSizeHasBeenCalled_ = true;
    if (configuredFromApplication_) {
        BEACON_LOG_WARNING("Unable to set storage size after the application has configured Beacon");
        if (completionHandler) completionHandler(false);
        return;
    }
    requestedMaxStorageSizeInBytes_ = sizeInBytes;
    maxStorageSizeCompletionHandler_ = completionHandler;
    if (channelGroup_) channelGroup_->setMaxStorageSize(sizeInBytes, completionHandler);
}

void Beacon::setUserIdInstance(const std::optional<std::string>& userId) {
    std::lock_guard lock(mutex_);
    if (!configuredFromApplication_) {
        BEACON_LOG_ERROR("Beacon must be configured from application, libraries cannot call setUserId.");
        return;
    }
    if (!appSecret_ && !defaultTransmissionTargetToken_) {
        BEACON_LOG_ERROR("Beacon must be configured with a secret from application to call setUserId.");
        return;
    }
    if (userId) {
        if (appSecret_ && !UserIdContext::isUserIdValidForBeacon(userId)) return;
        if (defaultTransmissionTargetToken_ && !UserIdContext::isUserIdValidForCollector(userId)) return;
    }
    UserIdContext::sharedInstance()->setUserId(userId);
}

std::string Beacon::installIdInstance() {
    std::lock_guard lock(mutex_);
    if (installId_) return *installId_;
    auto defaults = BeaconUserDefaults::shared();
    const auto stored = defaults->objectForKey(kInstallIdKey);
    if (stored && stored->asString() && isUuidText(*stored->asString())) {
        installId_ = *stored->asString();
    } else {
        installId_ = uuid_text::random();
        defaults->setObject(platform::Value(*installId_), kInstallIdKey);
    }
    return *installId_;
}

} // namespace beacon
