#include "beacon/crashes/service/Crashes.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/channel/ChannelGroupProtocol.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/context/DeviceTracker.h"
#include "beacon/context/SessionContext.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/core/Beacon.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/crashes/buffer/CrashLogBuffer.h"
#include "beacon/crashes/formatter/ErrorLogFormatter.h"
#include "beacon/crashes/hooks/ApplicationForwarder.h"
#include "beacon/crashes/hooks/CrashesCXXExceptionWrapperException.h"
#include "beacon/crashes/hooks/UncaughtCXXExceptionHandlerManager.h"
#include "beacon/crashes/model/CrashesArchiverUtil.h"
#include "beacon/crashes/model/HandledErrorLog.h"
#include "beacon/crashes/model/UuidText.h"
#include "beacon/crashes/model/WrapperException.h"
#include "beacon/crashes/wrapper/WrapperCrashesHelper.h"
#include "beacon/crashes/wrapper/WrapperExceptionManager.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/ApplicationState.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/DispatcherUtil.h"
#include "beacon/util/Encrypter.h"
#include "beacon/util/FileUtility.h"
#include "beacon/util/PropertyValidation.h"
#include "crashcapture/reporter/CrashReporter.h"
#include "platform/Scheduler.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace beacon {

namespace fs = std::filesystem;

namespace {

struct Statics {
    std::mutex mutex;
    std::shared_ptr<Crashes> shared;
    std::optional<fs::path> crashReporterBasePath;
    MemoryPressureSourceFactory memoryPressureFactory;
    Crashes::ApplicationStateProvider applicationState;
};

Statics& statics() {
    static Statics instance;
    return instance;
}

// Seconds between 1970-01-01 and the reference date 2001-01-01.
constexpr double kReferenceDateOffset = 978307200.0;

const char* const kIgnoredCrashFileSuffixes[] = {".DS_Store", ".analyzer", ".plist", ".data", ".meta", ".desc"};

std::string analyzerComponent() { return std::string(Crashes::kCrashesDirectory) + "/" + Crashes::kAnalyzerFileName; }

std::optional<std::vector<std::uint8_t>> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

platform::Scheduler& scheduler() { return DependencyConfiguration::scheduler(); }

// Runs a question for the application on the main thread and waits for it.
template <typename Result> Result onMainThread(const std::function<Result()>& question) {
    auto& main = scheduler().mainQueue();
    if (main.isCurrent()) return question();
    Result result{};
    main.sync([&] { result = question(); });
    return result;
}

// The crash callback: writes the crash log buffer. Runs inside the crash
// handler, after the engine wrote its report.
void writeCrashLogBuffer(siginfo_t*, ucontext_t*, void*) { CrashLogBuffer::writeAfterCrash(); }

// The service's handler of uncaught C++ exceptions: the engine's
// uncaught-exception handler writes the report with the exception's type,
// message and throw-site stack; then the process ends.
void handleUncaughtCXXException(const CrashesUncaughtCXXExceptionInfo& info) {
    const CrashesCXXExceptionWrapperException wrapper(info);
    platform::UncaughtException exception{wrapper.name(), wrapper.reason(), {}};
    for (const auto address : wrapper.callStackReturnAddresses())
        exception.callStackReturnAddresses.push_back(static_cast<std::uintptr_t>(address));
    platform::reportUncaughtException(exception);
    std::abort();
}

bool isErrorLog(const std::shared_ptr<AbstractLog>& log) { return dynamic_cast<AppleErrorLog*>(log.get()) != nullptr; }

} // namespace

// ---- shared instance and class operations ----

std::shared_ptr<Crashes> Crashes::sharedInstance() {
    std::lock_guard lock(statics().mutex);
    if (!statics().shared) statics().shared = std::make_shared<Crashes>();
    return statics().shared;
}

void Crashes::resetSharedInstance() {
    std::shared_ptr<Crashes> dropped;
    std::lock_guard lock(statics().mutex);
    dropped = std::move(statics().shared);
}

void Crashes::setDelegate(std::weak_ptr<CrashesDelegate> delegate) {
    sharedInstance()->setDelegateInstance(std::move(delegate));
}
std::shared_ptr<CrashesDelegate> Crashes::delegate() { return sharedInstance()->delegateInstance(); }
bool Crashes::hasCrashedInLastSession() { return sharedInstance()->didCrashInLastSession(); }
bool Crashes::hasReceivedMemoryWarningInLastSession() {
    return sharedInstance()->didReceiveMemoryWarningInLastSession();
}
std::shared_ptr<ErrorReport> Crashes::lastSessionCrashReport() {
    return sharedInstance()->lastSessionCrashReportInstance();
}
void Crashes::setUserConfirmationHandler(UserConfirmationHandler handler) {
    sharedInstance()->setUserConfirmationHandlerInstance(std::move(handler));
}
void Crashes::notifyWithUserConfirmation(UserConfirmation confirmation) {
    sharedInstance()->notifyWithUserConfirmationInstance(confirmation);
}

std::optional<std::string> Crashes::trackError(const std::string& domain,
                                               const std::map<std::string, std::string>& userInfo,
                                               const std::map<std::string, std::string>& properties,
                                               const Attachments& attachments) {
    return sharedInstance()->trackExceptionInstance(ExceptionModel::initWithError(domain, userInfo), properties,
                                                    attachments);
}

std::optional<std::string> Crashes::trackException(std::shared_ptr<ExceptionModel> exception,
                                                   const std::map<std::string, std::string>& properties,
                                                   const Attachments& attachments) {
    return sharedInstance()->trackExceptionInstance(std::move(exception), properties, attachments);
}

void Crashes::disableMachExceptionHandler() {
    auto crashes = sharedInstance();
    std::lock_guard lock(crashes->mutex_);
    crashes->enableMachExceptionHandler_ = false;
}

void Crashes::generateTestCrash() {
    auto crashes = sharedInstance();
    std::lock_guard lock(crashes->mutex_);
    if (!crashes->canBeUsed()) return;
    // Linux builds are never App Store builds.
    if (Beacon::isDebuggerAttached())
        BEACON_CRASHES_LOG_WARNING("The debugger is attached. The following crash cannot be detected by the SDK!");
    __builtin_trap();
}

void Crashes::applicationDidReportException(const platform::UncaughtException& exception) {
    platform::UncaughtExceptionHandler handler;
    {
        auto crashes = sharedInstance();
        std::lock_guard lock(crashes->mutex_);
        handler = crashes->exceptionHandler_;
    }
    if (!Beacon::isDebuggerAttached() && handler) handler(exception);
}

void Crashes::setCrashReporterBasePath(std::optional<fs::path> basePath) {
    std::lock_guard lock(statics().mutex);
    statics().crashReporterBasePath = std::move(basePath);
}

void Crashes::setMemoryPressureSourceFactory(MemoryPressureSourceFactory factory) {
    std::lock_guard lock(statics().mutex);
    statics().memoryPressureFactory = std::move(factory);
}

void Crashes::setApplicationStateProvider(ApplicationStateProvider provider) {
    std::lock_guard lock(statics().mutex);
    statics().applicationState = std::move(provider);
}

// ---- creation and start ----

Crashes::Crashes() {
    BeaconUserDefaults::shared()->migrateKeys(
        {
            {"BeaconCrashesIsEnabled", std::string("kZvCrashesIsEnabledKey")},
            {"BeaconAppDidReceiveMemoryWarning", std::string("ZvAppDidReceiveMemoryWarning")},
            {"BeaconCrashesUserConfirmation", std::string("ZvUserConfirmation")},
        },
        kServiceName);
    // Archives written under the class names of earlier versions.
    ArchiverUtil::addAllowedClasses({
        {"ZvAppleErrorLog", [] { return std::make_shared<AppleErrorLog>(); }},
        {"ZvThread", [] { return std::make_shared<Thread>(); }},
        {"ZvWrapperException", [] { return std::make_shared<WrapperException>(); }},
        {"ZvAbstractErrorLog", [] { return std::make_shared<AbstractErrorLog>(); }},
        {"ZvHandledErrorLog", [] { return std::make_shared<HandledErrorLog>(); }},
        {"ZvException", [] { return std::make_shared<WrapperExceptionModel>(); }},
        {"BcnException", [] { return std::make_shared<WrapperExceptionModel>(); }},
        {"ZvStackFrame", [] { return std::make_shared<StackFrame>(); }},
        {"ZvBinary", [] { return std::make_shared<Binary>(); }},
        {"ZvErrorAttachmentLog", [] { return std::make_shared<ErrorAttachmentLog>(); }},
        {"ZvErrorReport", [] { return std::make_shared<ErrorReport>(); }},
    });
    ArchiverUtil::addAllowedBeaconModuleClasses();
    CrashesArchiverUtil::addAllowedCrashesModuleClasses();
    appStartTime_ = std::chrono::system_clock::now();
    targetTokenEncrypter_ = std::make_shared<Encrypter>();
    crashLogBuffer_ = std::make_unique<CrashLogBuffer>(targetTokenEncrypter_, scheduler().globalQueue());
}

Crashes::~Crashes() {
    if (memoryPressureSource_) memoryPressureSource_->cancel();
}

std::optional<ChannelUnitConfiguration> Crashes::channelUnitConfiguration() const {
    return ChannelUnitConfiguration(kServiceName, 2, 1, 1, 3);
}

void Crashes::startWithChannelGroup(std::shared_ptr<ChannelGroupProtocol> channelGroup,
                                    std::optional<std::string> appSecret,
                                    std::optional<std::string> transmissionTargetToken, bool fromApplication) {
    std::lock_guard lock(mutex_);
    ServiceAbstract::startWithChannelGroup(channelGroup, std::move(appSecret), std::move(transmissionTargetToken),
                                           fromApplication);
    if (channelGroup) channelGroup->addDelegate(std::static_pointer_cast<Crashes>(shared_from_this()));
    processLogBufferAfterCrash();
    processMemoryWarningInLastSession();
    BEACON_CRASHES_LOG_VERBOSE("Started crash service.");
}

void Crashes::updateConfiguration(std::optional<std::string> appSecret,
                                  std::optional<std::string> transmissionTargetToken) {
    std::lock_guard lock(mutex_);
    processLogBufferAfterCrash();
    ServiceAbstract::updateConfiguration(std::move(appSecret), std::move(transmissionTargetToken));
}

void Crashes::processLogBufferAfterCrash() {
    auto group = channelGroup();
    if (!group) return;
    // One re-send unit per process, also when the configuration is updated.
    if (!bufferChannelUnit_)
        bufferChannelUnit_ =
            group->addChannelUnitWithConfiguration(ChannelUnitConfiguration(kBufferGroupId, 2, 1, 50, 1));
    auto unit = bufferChannelUnit_;
    crashLogBuffer_->processLogBufferAfterCrash([unit](std::shared_ptr<AbstractLog> log) {
        if (unit) unit->enqueueItem(log, kLogFlagsNormal);
    });
}

void Crashes::processMemoryWarningInLastSession() {
    if (!isInstanceEnabled()) return;
    auto defaults = BeaconUserDefaults::shared();
    const auto stored = defaults->objectForKey(kMemoryWarningKey);
    didReceiveMemoryWarningInLastSession_ = stored && stored->truthy();
    if (didReceiveMemoryWarningInLastSession_)
        BEACON_CRASHES_LOG_DEBUG("The application received a low memory warning in the last session.");
    defaults->removeObjectForKey(kMemoryWarningKey);
}

// ---- enabled state ----

void Crashes::applyEnabledState(bool isEnabled) {
    std::lock_guard lock(mutex_);
    ServiceAbstract::applyEnabledState(isEnabled);
    if (isEnabled) {
        auto setup = WrapperCrashesHelper::getCrashHandlerSetupDelegate();
        const bool registerHandler = setup ? setup->shouldEnableUncaughtExceptionHandler().value_or(true) : true;
        if (setup) setup->willSetUpCrashHandlers();
        configureCrashReporterWithUncaughtExceptionHandlerEnabled(registerHandler);
        if (setup) setup->didSetUpCrashHandlers();

        MemoryPressureSourceFactory factory;
        {
            std::lock_guard staticLock(statics().mutex);
            factory = statics().memoryPressureFactory;
        }
        if (!factory)
            factory = [](platform::Queue& queue, MemoryPressureSource::Handler handler) {
                return makePsiMemoryPressureSource(queue, std::move(handler));
            };
        if (memoryPressureSource_) memoryPressureSource_->cancel();
        std::weak_ptr<ServiceAbstract> weak = weak_from_this();
        memoryPressureSource_ = factory(scheduler().mainQueue(), [weak] {
            if (auto self = std::static_pointer_cast<Crashes>(weak.lock())) self->didReceiveMemoryWarning();
        });

        if (!isInstanceEnabled() && crashReporter_) crashReporter_->purgePendingCrashReport();
        if (crashReporter_ && crashReporter_->hasPendingCrashReport()) {
            didCrashInLastSession_ = true;
            BEACON_CRASHES_LOG_DEBUG("The application crashed in the last session.");
            handleLatestCrashReport();
        }
        crashFiles_ = persistedCrashReports();
        if (!crashFiles_.empty()) {
            startDelayedProcessing();
        } else {
            finishProcessing();
            clearContextHistoryAndKeepCurrentSession();
        }
        if (Beacon::isDebuggerAttached())
            BEACON_CRASHES_LOG_INFO("Crashes service has been enabled but the service cannot detect crashes due to "
                                    "running the application with a debugger attached.");
        else BEACON_CRASHES_LOG_INFO("Crashes service has been enabled.");
    } else {
        if (memoryPressureSource_) {
            memoryPressureSource_->cancel();
            memoryPressureSource_.reset();
        }
        BEACON_CRASHES_LOG_DEBUG("Cleaning up all crash files.");
        WrapperExceptionManager::deleteAllWrapperExceptions();
        deleteItemForPathComponent(kCrashesDirectory);
        crashFiles_.clear();
        CrashLogBuffer::emptyLogBufferFiles();
        deleteItemForPathComponent(analyzerComponent());
        if (crashReporter_) crashReporter_->purgePendingCrashReport();
        clearUnprocessed();
        clearContextHistoryAndKeepCurrentSession();
        BeaconUserDefaults::shared()->removeObjectForKey(kMemoryWarningKey);
        BEACON_CRASHES_LOG_INFO("Crashes service has been disabled.");
    }
}

void Crashes::configureCrashReporterWithUncaughtExceptionHandlerEnabled(bool enableUncaughtExceptionHandler) {
    if (crashReporter_) {
        BEACON_CRASHES_LOG_DEBUG("Already configured CrashReporter.");
        return;
    }
    if (enableUncaughtExceptionHandler) BEACON_CRASHES_LOG_DEBUG("EnableUncaughtExceptionHandler is set to YES");
    else BEACON_CRASHES_LOG_DEBUG("EnableUncaughtExceptionHandler is set to NO, we're running in a wrapper runtime.");

    // Linux has no Mach exceptions: signal handlers catch every crash,
    // whatever enableMachExceptionHandler_ says.
    std::optional<fs::path> basePath;
    {
        std::lock_guard lock(statics().mutex);
        basePath = statics().crashReporterBasePath;
    }
    crashReporter_ = std::make_unique<crashcapture::CrashReporter>(crashcapture::CrashReporterConfig(
        crashcapture::CrashReporterSignalHandlerType::BSD, crashcapture::CrashReporterSymbolicationStrategy::None,
        enableUncaughtExceptionHandler, basePath));
    WrapperExceptionManager::setCrashReporter(crashReporter_.get());

    if (Beacon::isDebuggerAttached()) {
        BEACON_CRASHES_LOG_WARNING("Detecting crashes is NOT enabled due to running the app with a debugger attached.");
        return;
    }

    const auto initialHandler = platform::uncaughtExceptionHandler();
    const crashcapture::CrashReporterCallbacks callbacks{0, nullptr, writeCrashLogBuffer};
    crashcapture::CrashReporterError error;
    bool enabled = false;
    try {
        crashReporter_->setCrashCallbacks(&callbacks);
        enabled = crashReporter_->enableCrashReporterAndReturnError(&error);
    } catch (const std::exception& exception) {
        error.localizedDescription = exception.what();
    }
    if (!enabled) BEACON_CRASHES_LOG_ERROR("Could not enable crash reporter: ", error.localizedDescription);

    const auto currentHandler = platform::uncaughtExceptionHandler();
    if (currentHandler && currentHandler != initialHandler) {
        exceptionHandler_ = currentHandler;
        BEACON_CRASHES_LOG_DEBUG("Exception handler successfully initialized.");
    } else if (enableUncaughtExceptionHandler || !currentHandler) {
        BEACON_CRASHES_LOG_ERROR(
            "Exception handler could not be set. Make sure there is no other exception handler set up!");
    } else {
        exceptionHandler_ = currentHandler;
        BEACON_CRASHES_LOG_DEBUG(
            "Exception handler successfully initialized but it has not been registered due to the wrapper SDK.");
    }
    CrashesUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(handleUncaughtCXXException);
    ApplicationForwarder::registerForwarding();
}

// ---- the report of the last crash ----

void Crashes::handleLatestCrashReport() {
    const auto analyzer = analyzerComponent();
    if (fileExistsForPathComponent(analyzer)) {
        // A previous attempt died while converting this report: keep it aside
        // for inspection instead of converting it again at every start.
        BEACON_CRASHES_LOG_ERROR("Error on loading the crash report, it will be purged.");
        crashReporter_->movePendingCrashReportAside();
    } else {
        createFileAtPathComponent(analyzer, std::nullopt, false, true);
        crashcapture::CrashReporterError error;
        const auto data = crashReporter_->loadPendingCrashReportData(&error);
        if (!data) {
            BEACON_CRASHES_LOG_ERROR("Couldn't load crash report: ", error.localizedDescription);
        } else if (auto report = crashcapture::CrashReport::initWithData(*data, &error); !report) {
            BEACON_CRASHES_LOG_WARNING("Couldn't parse crash report: ", error.localizedDescription);
            crashReporter_->movePendingCrashReportAside();
        } else {
            // Converted before it is kept: a report whose conversion kills the
            // process never reaches the stored reports that every start reads.
            lastSessionCrashReport_ = ErrorLogFormatter::errorReportFromCrashReport(&*report);
            const double sinceReference =
                std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count() -
                kReferenceDateOffset;
            char name[64];
            std::snprintf(name, sizeof name, "%.0f", sinceReference);
            createFileAtPathComponent(std::string(kCrashesDirectory) + "/" + name, *data, true, true);
            if (lastSessionCrashReport_)
                WrapperExceptionManager::correlateLastSavedWrapperExceptionToReport({lastSessionCrashReport_});
        }
    }
    deleteItemForPathComponent(analyzer);
    crashReporter_->purgePendingCrashReport();
}

std::vector<fs::path> Crashes::persistedCrashReports() const {
    std::vector<fs::path> files;
    const auto entries = contentsOfDirectory(kCrashesDirectory);
    if (!entries) {
        BEACON_CRASHES_LOG_ERROR("No persisted crashes found.");
        return files;
    }
    for (const auto& entry : *entries) {
        std::error_code error;
        if (!fs::is_regular_file(entry, error) || fs::file_size(entry, error) == 0 || error) continue;
        const auto name = entry.filename().string();
        bool ignored = false;
        for (const char* suffix : kIgnoredCrashFileSuffixes) ignored |= name.ends_with(suffix);
        if (!ignored) files.push_back(entry);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// ---- start-up processing ----

void Crashes::startDelayedProcessing() {
    {
        std::lock_guard lock(processingMutex_);
        processing_ = Processing::Due;
    }
    std::weak_ptr<ServiceAbstract> weak = weak_from_this();
    scheduler().globalQueue().after(platform::Seconds(1), [weak] {
        auto self = std::static_pointer_cast<Crashes>(weak.lock());
        if (!self) return;
        ApplicationStateProvider state;
        {
            std::lock_guard lock(statics().mutex);
            state = statics().applicationState;
        }
        const int applicationState = state ? state() : static_cast<int>(ApplicationStateUtil::applicationState());
        if (self->isAutomaticProcessingEnabled() && applicationState == kApplicationStateBackground) {
            BEACON_CRASHES_LOG_WARNING("Crashes will not be processed because the application is in the background.");
            std::lock_guard lock(self->processingMutex_);
            self->processing_ = Processing::None;
            self->processingChanged_.notify_all();
            return;
        }
        bool first;
        {
            std::lock_guard lock(self->mutex_);
            first = !self->processedOnce_;
            self->processedOnce_ = true;
        }
        if (first) self->startCrashProcessing();
        self->finishProcessing();
    });
}

void Crashes::finishProcessing() {
    std::lock_guard lock(processingMutex_);
    processing_ = Processing::Done;
    processingChanged_.notify_all();
}

void Crashes::startCrashProcessing() {
    BEACON_CRASHES_LOG_DEBUG("Start delayed CrashManager processing");
    {
        std::lock_guard lock(mutex_);
        if (exceptionHandler_ && platform::uncaughtExceptionHandler() != exceptionHandler_)
            BEACON_CRASHES_LOG_WARNING(
                "Another exception handler was added. If this invokes any kind of exit() after processing the "
                "exception, which causes any subsequent error handler not to be invoked, these crashes will NOT be "
                "reported to Beacon!");
    }
    processCrashReports();
}

// The delegate and the confirmation handler are asked on the main thread
// without the service's lock, so that the main thread may use the service
// meanwhile.
void Crashes::processCrashReports() {
    struct Kept {
        fs::path file;
        std::shared_ptr<AppleErrorLog> log;
        std::shared_ptr<ErrorReport> report;
    };
    std::vector<Kept> kept;
    bool automatic;
    {
        std::lock_guard lock(mutex_);
        if (!isInstanceEnabled()) {
            BEACON_CRASHES_LOG_DEBUG("Crashes service is disabled; discard all crash reports");
            deleteItemForPathComponent(kCrashesDirectory);
            crashFiles_.clear();
            WrapperExceptionManager::deleteAllWrapperExceptions();
            return;
        }
        clearUnprocessed();
        std::vector<std::shared_ptr<ErrorReport>> reports;
        for (const auto& file : crashFiles_) {
            const auto data = readFile(file);
            if (!data || data->empty()) continue;
            auto report = crashcapture::CrashReport::initWithData(*data);
            if (!report) {
                BEACON_CRASHES_LOG_WARNING("Crash report found but couldn't parse it, discard the crash report: ",
                                           file.string());
                std::error_code removeError;
                fs::remove(file, removeError);
                continue;
            }
            auto log = ErrorLogFormatter::errorLogFromCrashReport(*report);
            auto errorReport = ErrorLogFormatter::errorReportFromLog(*log);
            kept.push_back({file, log, errorReport});
            reports.push_back(errorReport);
        }
        WrapperExceptionManager::correlateLastSavedWrapperExceptionToReport(reports);
        for (const auto& entry : kept) {
            BEACON_CRASHES_LOG_VERBOSE("Crash reports found");
            if (auto wrapper = WrapperExceptionManager::loadWrapperExceptionWithUUIDString(
                    entry.report->incidentIdentifier.value_or("")))
                entry.log->exception = wrapper->modelException;
        }
        automatic = automaticProcessingEnabled_;
    }

    const auto delegate = delegateInstance();
    std::vector<bool> process;
    for (const auto& entry : kept) {
        const auto report = entry.report;
        process.push_back(!automatic || !delegate || onMainThread<std::optional<bool>>([&] {
                                                         return delegate->shouldProcessErrorReport(*this, *report);
                                                     }).value_or(true));
    }

    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const auto& entry = kept[i];
            if (!process[i]) {
                BEACON_CRASHES_LOG_DEBUG("shouldProcessErrorReport returned NO, discard the crash report: ",
                                         entry.file.string());
                WrapperExceptionManager::deleteWrapperExceptionWithUUIDString(
                    entry.report->incidentIdentifier.value_or(""));
                removeCrashFile(entry.file);
                continue;
            }
            if (automatic)
                BEACON_CRASHES_LOG_DEBUG("shouldProcessErrorReport is not implemented or returned YES, processing "
                                         "the crash report: ",
                                         entry.file.string());
            else
                BEACON_CRASHES_LOG_DEBUG("Automatic crash processing is disabled, storing the crash report for "
                                         "later processing: ",
                                         entry.file.string());
            unprocessedLogs_.push_back(entry.log);
            unprocessedReports_.push_back(entry.report);
            unprocessedFilePaths_.push_back(entry.file);
        }
    }
    if (automatic) sendCrashReportsOrAwaitUserConfirmation();
}

bool Crashes::sendCrashReportsOrAwaitUserConfirmation() {
    const auto stored = BeaconUserDefaults::shared()->objectForKey(kUserConfirmationKey);
    const bool alwaysSend = stored && stored->truthy();
    UserConfirmationHandler handler;
    std::vector<std::shared_ptr<ErrorReport>> reports;
    bool automatic;
    {
        std::lock_guard lock(mutex_);
        if (unprocessedLogs_.empty()) return alwaysSend;
        handler = userConfirmationHandler_;
        reports = unprocessedReports_;
        automatic = automaticProcessingEnabled_;
    }
    if (alwaysSend) {
        BEACON_CRASHES_LOG_DEBUG("The flag for user confirmation is set to BcnUserConfirmationAlways, continue "
                                 "sending logs");
        handleUserConfirmation(UserConfirmation::Send);
        return alwaysSend;
    }
    // A handler that answers true asks the user and calls
    // notifyWithUserConfirmation later.
    if (automatic && handler && onMainThread<bool>([&] { return handler(reports); })) return alwaysSend;
    if (!automatic) {
        BEACON_CRASHES_LOG_DEBUG("Automatic crash processing is disabled and \"AlwaysSend\" is false. Awaiting user "
                                 "confirmation.");
        return alwaysSend;
    }
    BEACON_CRASHES_LOG_DEBUG("The user confirmation handler is not implemented or returned NO, continue sending logs");
    handleUserConfirmation(UserConfirmation::Send);
    return alwaysSend;
}

void Crashes::notifyWithUserConfirmationInstance(UserConfirmation confirmation) {
    {
        std::lock_guard lock(mutex_);
        if (!userConfirmationHandler_ && unprocessedLogs_.empty()) {
            BEACON_CRASHES_LOG_ERROR("Incorrect usage of notifyWithUserConfirmation: it should only be called from "
                                     "userConfirmationHandler. For more information refer to the documentation.");
            return;
        }
    }
    handleUserConfirmation(confirmation);
}

void Crashes::handleUserConfirmation(UserConfirmation confirmation) {
    std::vector<std::shared_ptr<AppleErrorLog>> logs;
    std::vector<std::shared_ptr<ErrorReport>> reports;
    std::vector<fs::path> files;
    {
        // Taken over here, so that a second confirmation finds nothing left.
        std::lock_guard lock(mutex_);
        logs = std::move(unprocessedLogs_);
        reports = std::move(unprocessedReports_);
        files = std::move(unprocessedFilePaths_);
        clearUnprocessed();
    }
    if (confirmation == UserConfirmation::DontSend) {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < logs.size(); ++i) {
            removeCrashFile(files[i]);
            WrapperExceptionManager::deleteWrapperExceptionWithUUIDString(reports[i]->incidentIdentifier.value_or(""));
        }
        clearContextHistoryAndKeepCurrentSession();
        return;
    }
    if (confirmation == UserConfirmation::Always)
        BeaconUserDefaults::shared()->setObject(platform::Value(true), kUserConfirmationKey);

    const auto delegate = delegateInstance();
    const auto unit = channelUnit();
    for (std::size_t i = 0; i < logs.size(); ++i) {
        const auto& log = logs[i];
        const auto& report = reports[i];
        Attachments attachments;
        std::optional<Attachments> answered;
        if (delegate)
            answered = onMainThread<std::optional<Attachments>>(
                [&] { return delegate->attachmentsWithCrashes(*this, *report); });
        if (answered) {
            attachments = std::move(*answered);
            for (const auto& attachment : attachments)
                if (attachment && !attachment->device) attachment->device = log->device;
        } else {
            BEACON_CRASHES_LOG_DEBUG("attachmentsWithCrashes is not implemented");
        }
        if (log->timestamp) {
            log->sid = SessionContext::sharedInstance()->sessionIdAt(*log->timestamp);
            log->userId = UserIdContext::sharedInstance()->userIdAt(*log->timestamp);
        }
        if (unit) unit->enqueueItem(log, kLogFlagsCritical);
        const std::string incident = report->incidentIdentifier.value_or("");
        sendErrorAttachments(attachments, incident);
        std::lock_guard lock(mutex_);
        removeCrashFile(files[i]);
        WrapperExceptionManager::deleteWrapperExceptionWithUUIDString(incident);
    }
    clearContextHistoryAndKeepCurrentSession();
}

bool Crashes::sendCrashReportsOrAwaitUserConfirmationForFilteredIds(const std::vector<std::string>& incidentIds) {
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = unprocessedReports_.size(); i-- > 0;) {
            const std::string incident = unprocessedReports_[i]->incidentIdentifier.value_or("");
            if (std::find(incidentIds.begin(), incidentIds.end(), incident) != incidentIds.end()) continue;
            removeCrashFile(unprocessedFilePaths_[i]);
            WrapperExceptionManager::deleteWrapperExceptionWithUUIDString(incident);
            unprocessedLogs_.erase(unprocessedLogs_.begin() + static_cast<std::ptrdiff_t>(i));
            unprocessedReports_.erase(unprocessedReports_.begin() + static_cast<std::ptrdiff_t>(i));
            unprocessedFilePaths_.erase(unprocessedFilePaths_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return sendCrashReportsOrAwaitUserConfirmation();
}

void Crashes::sendErrorAttachments(const Attachments& attachments, const std::string& incidentIdentifier) {
    const auto unit = channelUnit();
    for (const auto& attachment : attachments) {
        if (!attachment) continue;
        attachment->errorId = incidentIdentifier;
        if (!attachment->errorId || !attachment->attachmentId || !attachment->data || !attachment->contentType) {
            BEACON_CRASHES_LOG_ERROR("Not all required fields are present in BcnErrorAttachmentLog.");
            continue;
        }
        if (attachment->data->size() > kMaxAttachmentSize) {
            BEACON_CRASHES_LOG_ERROR("Discarding attachment with size above ", kMaxAttachmentSize,
                                     " bytes: size=", attachment->data->size(),
                                     ", fileName=", attachment->filename.value_or("(null)"), ".");
            continue;
        }
        if (unit) unit->enqueueItem(attachment, kLogFlagsNormal);
    }
}

void Crashes::removeCrashFile(const fs::path& file) {
    deleteFileAtURL(file);
    crashFiles_.erase(std::remove(crashFiles_.begin(), crashFiles_.end(), file), crashFiles_.end());
}

void Crashes::clearUnprocessed() {
    unprocessedLogs_.clear();
    unprocessedReports_.clear();
    unprocessedFilePaths_.clear();
}

void Crashes::clearContextHistoryAndKeepCurrentSession() {
    SessionContext::sharedInstance()->clearSessionHistoryAndKeepCurrentSession(true);
    UserIdContext::sharedInstance()->clearUserIdHistory();
}

std::vector<std::shared_ptr<ErrorReport>> Crashes::unprocessedCrashReports() {
    {
        // Waits while start-up processing is due; a launch without processing
        // (never enabled, or skipped in the background) answers at once.
        std::unique_lock lock(processingMutex_);
        processingChanged_.wait_for(lock, std::chrono::seconds(30), [this] { return processing_ != Processing::Due; });
    }
    std::lock_guard lock(mutex_);
    return unprocessedReports_;
}

// ---- handled errors ----

std::optional<std::string> Crashes::trackExceptionInstance(std::shared_ptr<ExceptionModel> exception,
                                                           const std::map<std::string, std::string>& properties,
                                                           const Attachments& attachments) {
    std::lock_guard lock(mutex_);
    if (!canBeUsed() || !isInstanceEnabled()) return std::nullopt;
    auto unit = channelUnit();
    if (!unit) return std::nullopt;
    auto log = std::make_shared<HandledErrorLog>();
    log->userId = UserIdContext::sharedInstance()->userId();
    const std::string errorId = uuid_text::random();
    log->errorId = errorId;
    log->exception = std::move(exception);
    if (!properties.empty())
        log->properties = validateProperties(properties, "ErrorLog: " + errorId, log->type.value_or(""));
    unit->enqueueItem(log, kLogFlagsNormal);
    sendErrorAttachments(attachments, errorId);
    return errorId;
}

std::shared_ptr<ErrorReport> Crashes::buildHandledErrorReportWithErrorID(const std::string& errorId) {
    auto report = std::make_shared<ErrorReport>();
    report->incidentIdentifier = errorId;
    report->appStartTime = appStartTime_;
    report->appErrorTime = std::chrono::system_clock::now();
    report->device = DeviceTracker::sharedInstance()->device();
    return report;
}

// ---- memory warnings ----

void Crashes::didReceiveMemoryWarning() {
    BEACON_CRASHES_LOG_DEBUG("The application received a low memory warning in the last session.");
    BeaconUserDefaults::shared()->setObject(platform::Value(true), kMemoryWarningKey);
}

// ---- channel delegate ----

void Crashes::channelDidPrepareLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log,
                                   const std::string& internalId, LogFlags) {
    if (log && isInstanceEnabled()) crashLogBuffer_->place(*log, internalId);
}

void Crashes::channelDidCompleteEnqueueingLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>&,
                                              const std::string& internalId) {
    crashLogBuffer_->release(internalId);
}

template <typename Notify>
void Crashes::notifyDelegateOfErrorLog(const std::shared_ptr<AbstractLog>& log, Notify notify) {
    if (!isErrorLog(log)) return;
    auto delegate = delegateInstance();
    if (!delegate) return;
    auto report = ErrorLogFormatter::errorReportFromLog(static_cast<const AppleErrorLog&>(*log));
    std::weak_ptr<ServiceAbstract> weak = weak_from_this();
    DispatcherUtil::performBlockOnMainThread(scheduler(), [weak, delegate, report, notify] {
        if (auto self = std::static_pointer_cast<Crashes>(weak.lock())) notify(*delegate, *self, *report);
    });
}

void Crashes::channelWillSendLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log) {
    notifyDelegateOfErrorLog(log, [](CrashesDelegate& delegate, Crashes& self, const ErrorReport& report) {
        delegate.willSendErrorReport(self, report);
    });
}

void Crashes::channelDidSucceedSendingLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log) {
    notifyDelegateOfErrorLog(log, [](CrashesDelegate& delegate, Crashes& self, const ErrorReport& report) {
        delegate.didSucceedSendingErrorReport(self, report);
    });
}

void Crashes::channelDidFailSendingLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log,
                                       const std::optional<Error>& error) {
    notifyDelegateOfErrorLog(log, [error](CrashesDelegate& delegate, Crashes& self, const ErrorReport& report) {
        delegate.didFailSendingErrorReport(self, report, error);
    });
}

// ---- plain accessors ----

void Crashes::setDelegateInstance(std::weak_ptr<CrashesDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<CrashesDelegate> Crashes::delegateInstance() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

bool Crashes::didCrashInLastSession() const {
    std::lock_guard lock(mutex_);
    return didCrashInLastSession_;
}

bool Crashes::didReceiveMemoryWarningInLastSession() const {
    std::lock_guard lock(mutex_);
    return didReceiveMemoryWarningInLastSession_;
}

std::shared_ptr<ErrorReport> Crashes::lastSessionCrashReportInstance() const {
    std::lock_guard lock(mutex_);
    return lastSessionCrashReport_;
}

void Crashes::setUserConfirmationHandlerInstance(UserConfirmationHandler handler) {
    std::lock_guard lock(mutex_);
    userConfirmationHandler_ = std::move(handler);
}

void Crashes::setAutomaticProcessingEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    automaticProcessingEnabled_ = enabled;
}

bool Crashes::isAutomaticProcessingEnabled() const {
    std::lock_guard lock(mutex_);
    return automaticProcessingEnabled_;
}

std::vector<fs::path> Crashes::crashFiles() const {
    std::lock_guard lock(mutex_);
    return crashFiles_;
}

crashcapture::CrashReporter* Crashes::crashReporter() const {
    std::lock_guard lock(mutex_);
    return crashReporter_.get();
}

} // namespace beacon
