#include "beacon/crashes/formatter/ErrorLogFormatter.h"

#include "beacon/context/DeviceTracker.h"
#include "beacon/crashes/model/AnonymizedPath.h"
#include "beacon/crashes/model/UuidText.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/TextUtility.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <mutex>
#include <openssl/evp.h>
#include <string_view>

namespace beacon {

using namespace crashcapture;

namespace {

constexpr std::uint64_t kCpuTypeX86 = 7;
constexpr std::uint64_t kCpuTypeArm = 12;
constexpr std::uint64_t kCpuTypePowerPC = 18;
constexpr std::uint64_t kCpuTypeX86_64 = 0x1000007;
constexpr std::uint64_t kCpuTypeArm64 = 0x100000C;
constexpr const char* kUnknown = "???";

struct Hooks {
    std::mutex mutex;
    ErrorLogFormatter::DeviceLookup deviceLookup;
    ErrorLogFormatter::InstallIdSource installIdSource;
};

Hooks& hooks() {
    static Hooks instance;
    return instance;
}

std::string printf64(const char* format, unsigned long long value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Report times are whole seconds; the model's dates count nanoseconds in a
// signed 64-bit number, which reaches only the years 1678-2262. A damaged
// report's time outside that range gives no date rather than an overflow.
std::optional<Date> dateFrom(std::optional<std::chrono::sys_seconds> time) {
    if (!time) return std::nullopt;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 1'000'000'000 - 1;
    const std::int64_t seconds = time->time_since_epoch().count();
    if (seconds > kLimit || seconds < -kLimit) return std::nullopt;
    return Date(std::chrono::duration_cast<Date::duration>(time->time_since_epoch()));
}

// The CPU type and subtype the log names: the first image with a Mach-O
// code type, else the machine's processor (derived from the recorded
// architecture when the report has no machine information).
std::pair<std::uint64_t, std::uint64_t> codeTypeOf(const CrashReport& report) {
    for (const auto& image : report.images()) {
        if (image.codeType && image.codeType->typeEncoding == CrashReportProcessorTypeEncoding::Mach)
            return {image.codeType->type, image.codeType->subtype};
    }
    const auto& processor = report.systemInfo().processorInfo;
    return {processor.type, processor.subtype};
}

std::optional<std::string> processPathOf(const CrashReport& report) {
    return report.processInfo() ? report.processInfo()->processPath : std::nullopt;
}

// Collects fields into one SHA-256, each with its length so that no two
// sequences of fields give the same input.
class Digest {
public:
    Digest() : context_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(context_, EVP_sha256(), nullptr); }
    ~Digest() { EVP_MD_CTX_free(context_); }
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;
    Digest& add(std::string_view text) {
        add(static_cast<std::uint64_t>(text.size()));
        EVP_DigestUpdate(context_, text.data(), text.size());
        return *this;
    }
    Digest& add(std::uint64_t value) {
        std::uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
        EVP_DigestUpdate(context_, bytes, sizeof bytes);
        return *this;
    }
    std::array<std::uint8_t, 16> first16() {
        std::uint8_t digest[EVP_MAX_MD_SIZE];
        unsigned length = 0;
        EVP_DigestFinal_ex(context_, digest, &length);
        std::array<std::uint8_t, 16> out{};
        std::copy_n(digest, out.size(), out.begin());
        return out;
    }

private:
    EVP_MD_CTX* context_;
};

// Mach CPU types and subtypes are 32-bit values; more bits can only come
// from a damaged report, and must not turn into negative numbers.
std::int64_t architectureNumber(std::uint64_t value) { return static_cast<std::int64_t>(value & 0xFFFFFFFFu); }

} // namespace

void ErrorLogFormatter::setDeviceLookup(DeviceLookup lookup) {
    std::lock_guard lock(hooks().mutex);
    hooks().deviceLookup = std::move(lookup);
}

void ErrorLogFormatter::setInstallIdSource(InstallIdSource source) {
    std::lock_guard lock(hooks().mutex);
    hooks().installIdSource = std::move(source);
}

std::shared_ptr<AppleErrorLog> ErrorLogFormatter::errorLogFromCrashReport(const CrashReport& report) {
    auto log = std::make_shared<AppleErrorLog>();
    log->errorId = errorIdForCrashReport(report);
    addProcessInfoAndApplicationPathTo(*log, report);

    const CrashReportThreadInfo* crashedThread = findCrashedThreadInReport(report);
    if (crashedThread) log->errorThreadId = crashedThread->threadNumber;
    log->fatal = true;

    log->appLaunchTimestamp = getAppLaunchTimeFromReport(report);
    log->timestamp = getCrashTimeFromReport(report);

    const auto [cpuType, cpuSubtype] = codeTypeOf(report);
    const bool is64bit = isCodeType64bit(cpuType);
    log->primaryArchitectureId = architectureNumber(cpuType);
    log->architectureVariantId = architectureNumber(cpuSubtype);

    log->osExceptionType = report.signalInfo().name;
    log->osExceptionCode = report.signalInfo().code;
    log->osExceptionAddress = printf64("0x%llx", report.signalInfo().address);

    log->exceptionReason = extractExceptionReasonFromReport(report);
    if (report.exceptionInfo()) log->exceptionType = report.exceptionInfo()->exceptionName;

    if (crashedThread) log->selectorRegisterValue = selectorRegisterValueFromReport(report, *crashedThread, cpuType);
    log->threads = extractThreadsFromReport(report, crashedThread, is64bit);
    log->registers = crashedThread ? extractRegistersFromCrashedThread(*crashedThread, is64bit)
                                   : std::map<std::string, std::string>{};
    log->binaries = extractBinaryImagesFromReport(report, is64bit);

    log->device = deviceForTimestamp(log->timestamp, report);
    // Wrapper exceptions saved under this report's id would be attached here;
    // this application's frameworks save none.
    return log;
}

std::shared_ptr<ErrorReport> ErrorLogFormatter::errorReportFromCrashReport(const CrashReport* report) {
    if (!report) return nullptr;
    return errorReportFromLog(*errorLogFromCrashReport(*report));
}

std::shared_ptr<ErrorReport> ErrorLogFormatter::errorReportFromLog(const AppleErrorLog& log) {
    auto report = std::make_shared<ErrorReport>();
    report->incidentIdentifier = log.errorId;
    InstallIdSource source;
    {
        std::lock_guard lock(hooks().mutex);
        source = hooks().installIdSource;
    }
    report->reporterKey = (source ? source() : std::nullopt).value_or("");
    report->signal = log.osExceptionType;
    report->exceptionName = log.exceptionType;
    report->exceptionReason = log.exceptionReason;
    report->appStartTime = log.appLaunchTimestamp;
    report->appErrorTime = log.timestamp;
    if (log.primaryArchitectureId) {
        const auto type = static_cast<std::uint64_t>(*log.primaryArchitectureId);
        report->codeType = convertCodeTypeToString(type);
        report->archName = log.architectureVariantId
                               ? convertArchNameToString(type, static_cast<std::uint64_t>(*log.architectureVariantId))
                               : kUnknown;
    } else {
        report->codeType = kUnknown;
        report->archName = kUnknown;
    }
    report->applicationPath = log.applicationPath;
    report->threads = log.threads.value_or(std::vector<std::shared_ptr<Thread>>{});
    report->binaries = log.binaries.value_or(std::vector<std::shared_ptr<Binary>>{});
    report->device = log.device;
    report->appProcessIdentifier = static_cast<std::uint64_t>(log.processId.value_or(0));
    return report;
}

std::string ErrorLogFormatter::errorIdForCrashReport(const CrashReport& report) {
    if (report.uuidRef()) return uuidRefToString(*report.uuidRef());
    // Without a recorded id, one derived from what the report says: every
    // conversion of the same report (the log that is sent, the report the
    // delegate sees, a retry after a restart) gets the same id.
    Digest digest;
    digest.add("zelvo-crash-report");
    const auto& application = report.applicationInfo();
    digest.add(application.applicationIdentifier).add(application.applicationVersion);
    const auto& system = report.systemInfo();
    digest.add(static_cast<std::uint64_t>(system.timestamp ? system.timestamp->time_since_epoch().count() : 0));
    if (const auto& process = report.processInfo()) {
        digest.add(process->processID).add(process->processPath.value_or(""));
        digest.add(static_cast<std::uint64_t>(
            process->processStartTime ? process->processStartTime->time_since_epoch().count() : 0));
    }
    const auto& signal = report.signalInfo();
    digest.add(signal.name).add(signal.code).add(signal.address);
    for (const auto& thread : report.threads()) {
        digest.add(thread.threadNumber).add(thread.stackFrames.size());
        for (const auto& frame : thread.stackFrames) digest.add(frame.instructionPointer);
    }
    for (const auto& image : report.images())
        digest.add(image.imageBaseAddress).add(image.imageSize).add(image.imageName);
    auto bytes = digest.first16();
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0f) | 0x80); // version 8: custom, name-based
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3f) | 0x80); // RFC 4122 variant
    return uuid_text::fromBytes(bytes);
}

void ErrorLogFormatter::addProcessInfoAndApplicationPathTo(AppleErrorLog& log, const CrashReport& report) {
    log.processId = 0;
    log.processName = kUnknown;
    log.parentProcessName = kUnknown;
    log.parentProcessId.reset();
    log.applicationPath = kUnknown;
    if (!report.processInfo()) return;
    const auto& process = *report.processInfo();
    log.processId = process.processID;
    if (process.processName) log.processName = *process.processName;
    if (process.processPath) log.applicationPath = anonymizedPathFromPath(*process.processPath);
    if (process.parentProcessName) log.parentProcessName = *process.parentProcessName;
    log.parentProcessId = process.parentProcessID;
}

std::string ErrorLogFormatter::convertArchNameToString(std::uint64_t cpuType, std::uint64_t cpuSubtype) {
    const std::uint64_t subtype = cpuSubtype & 0x00FFFFFF; // the high bits are capability flags
    switch (cpuType) {
    case kCpuTypeX86: return "i386";
    case kCpuTypeArm:
        switch (subtype) {
        case 6: return "armv6";
        case 9: return "armv7";
        case 11: return "armv7s";
        default: return "arm-unknown";
        }
    case kCpuTypePowerPC: return "powerpc";
    case kCpuTypeX86_64: return "x86_64";
    case kCpuTypeArm64:
        switch (subtype) {
        case 0: return "arm64";
        case 1: return "armv8";
        case 2: return "arm64e";
        default: return "arm64-unknown";
        }
    default: return kUnknown;
    }
}

std::string ErrorLogFormatter::convertCodeTypeToString(std::uint64_t cpuType) {
    switch (cpuType) {
    case kCpuTypeX86: return "X86";
    case kCpuTypeArm: return "ARM";
    case kCpuTypePowerPC: return "PPC";
    case kCpuTypeX86_64: return "X86-64";
    case kCpuTypeArm64: return "ARM-64";
    default: return printf64("Unknown (%llu)", cpuType);
    }
}

std::optional<Date> ErrorLogFormatter::getAppLaunchTimeFromReport(const CrashReport& report) {
    if (report.processInfo()) return dateFrom(report.processInfo()->processStartTime);
    return dateFrom(report.systemInfo().timestamp);
}

std::optional<Date> ErrorLogFormatter::getCrashTimeFromReport(const CrashReport& report) {
    auto crashTime = dateFrom(report.systemInfo().timestamp);
    // A time of whole seconds (as the capture records it) moves to the end of
    // its second, so that the crash sorts after everything logged in it.
    if (crashTime && crashTime->time_since_epoch() % std::chrono::seconds(1) == Date::duration::zero())
        *crashTime += std::chrono::milliseconds(999);
    return crashTime;
}

std::vector<std::shared_ptr<Thread>>
ErrorLogFormatter::extractThreadsFromReport(const CrashReport& report, const CrashReportThreadInfo* crashedThread,
                                            bool is64bit) {
    std::shared_ptr<ExceptionModel> exception;
    if (report.exceptionInfo() && !report.exceptionInfo()->stackFrames.empty()) {
        const auto& info = *report.exceptionInfo();
        exception = std::make_shared<ExceptionModel>();
        exception->type = info.exceptionName.empty() ? report.signalInfo().name : info.exceptionName;
        exception->message = info.exceptionReason;
        std::vector<std::shared_ptr<StackFrame>> frames;
        for (const auto& frameInfo : info.stackFrames) {
            auto frame = std::make_shared<StackFrame>();
            frame->address = formatAddress(frameInfo.instructionPointer, is64bit);
            frames.push_back(std::move(frame));
        }
        exception->frames = std::move(frames);
    }

    std::vector<std::shared_ptr<Thread>> threads;
    ImageTypeCache kinds; // one path comparison per image, not per frame
    for (const auto& info : report.threads()) {
        auto thread = std::make_shared<Thread>();
        thread->threadId = info.threadNumber;
        if (crashedThread && exception && crashedThread->threadNumber == info.threadNumber)
            thread->exception = exception;
        std::vector<std::shared_ptr<StackFrame>> frames;
        for (const auto& frameInfo : info.stackFrames) {
            auto frame = std::make_shared<StackFrame>();
            frame->address = formatAddress(frameInfo.instructionPointer, is64bit);
            frame->code = formatStackFrame(frameInfo, report, &kinds);
            frames.push_back(std::move(frame));
        }
        thread->frames = std::move(frames);
        threads.push_back(std::move(thread));
    }
    return threads;
}

std::string ErrorLogFormatter::formatStackFrame(const CrashReportStackFrameInfo& frame, const CrashReport& report) {
    return formatStackFrame(frame, report, nullptr);
}

std::string ErrorLogFormatter::formatStackFrame(const CrashReportStackFrameInfo& frame, const CrashReport& report,
                                                ImageTypeCache* kinds) {
    const std::uint64_t pc = frame.instructionPointer;
    std::uint64_t base = 0;
    std::uint64_t offset = 0;
    const CrashReportBinaryImageInfo* image = report.imageForAddress(pc);
    if (image) {
        base = image->imageBaseAddress;
        offset = pc - base;
    } else if (pc != 0) {
        BEACON_CRASHES_LOG_WARNING("Cannot find image for ", printf64("0x%llx", pc));
    }

    ImageType kind = Other;
    if (!image) {
        kind = imageTypeForImagePath(std::nullopt, processPathOf(report));
    } else if (auto known = kinds ? kinds->find(image) : ImageTypeCache::iterator{}; kinds && known != kinds->end()) {
        kind = known->second;
    } else {
        kind = imageTypeForImagePath(image->imageName, processPathOf(report));
        if (kinds) kinds->emplace(image, kind);
    }
    // A symbol that starts above the pc cannot hold it (a damaged report):
    // the frame is then told by its image offset.
    if (frame.symbolInfo && kind == Other && frame.symbolInfo->startAddress <= pc) {
        std::string name = frame.symbolInfo->symbolName;
        if (name.size() > 1 && name[0] == '_') {
            switch (report.systemInfo().operatingSystem) {
            case CrashReportOperatingSystem::MacOSX:
            case CrashReportOperatingSystem::IPhoneOS:
            case CrashReportOperatingSystem::IPhoneSimulator:
            case CrashReportOperatingSystem::AppleTVOS: name.erase(0, 1); break;
            case CrashReportOperatingSystem::Linux: break; // ELF symbols carry no prefix
            case CrashReportOperatingSystem::Unknown:
                BEACON_CRASHES_LOG_WARNING("Symbol \"", name, "\" prefix rules are unknown for this OS!");
                break;
            }
        }
        const auto fromSymbol = static_cast<unsigned long long>(pc - frame.symbolInfo->startAddress);
        char text[32];
        std::snprintf(text, sizeof text, " + %llu", fromSymbol);
        return name + text;
    }
    char text[64];
    std::snprintf(text, sizeof text, "0x%llx + %llu", static_cast<unsigned long long>(base),
                  static_cast<unsigned long long>(offset));
    return text;
}

std::map<std::string, std::string>
ErrorLogFormatter::extractRegistersFromCrashedThread(const CrashReportThreadInfo& crashedThread, bool is64bit) {
    std::map<std::string, std::string> registers;
    for (const auto& reg : crashedThread.registers)
        registers[reg.registerName] = formatAddress(reg.registerValue, is64bit);
    return registers;
}

std::optional<std::string> ErrorLogFormatter::extractExceptionReasonFromReport(const CrashReport& report) {
    if (!report.exceptionInfo()) return std::nullopt;
    return report.exceptionInfo()->exceptionReason;
}

std::optional<std::string>
ErrorLogFormatter::selectorRegisterValueFromReport(const CrashReport& report,
                                                   const CrashReportThreadInfo& crashedThread, std::uint64_t codeType) {
    switch (codeType) {
    case kCpuTypeX86: return selectorForRegisterWithName("ecx", crashedThread, report);
    case kCpuTypeArm: {
        auto value = selectorForRegisterWithName("r1", crashedThread, report);
        return value ? value : selectorForRegisterWithName("r2", crashedThread, report);
    }
    case kCpuTypeX86_64: {
        auto value = selectorForRegisterWithName("rsi", crashedThread, report);
        return value ? value : selectorForRegisterWithName("rdx", crashedThread, report);
    }
    case kCpuTypeArm64: return selectorForRegisterWithName("x1", crashedThread, report);
    default: return std::nullopt;
    }
}

std::optional<std::string> ErrorLogFormatter::selectorForRegisterWithName(const std::string& name,
                                                                          const CrashReportThreadInfo& thread,
                                                                          const CrashReport& report) {
    auto reg = std::find_if(thread.registers.begin(), thread.registers.end(),
                            [&](const CrashReportRegisterInfo& r) { return r.registerName == name; });
    if (reg == thread.registers.end()) return std::nullopt;
    if (!report.imageForAddress(reg->registerValue)) return std::nullopt;
    // The register would point at a method selector name in the
    // "__objc_methname" section of an Objective-C image. Linux executables
    // have no such section, so there is no selector to read.
    return std::nullopt;
}

std::vector<std::shared_ptr<Binary>> ErrorLogFormatter::extractBinaryImagesFromReport(const CrashReport& report,
                                                                                      bool is64bit) {
    const std::set<std::uint64_t> addresses = addressesFromReport(report);
    std::vector<const CrashReportBinaryImageInfo*> images;
    for (const auto& image : report.images()) images.push_back(&image);
    std::stable_sort(images.begin(), images.end(),
                     [](auto* a, auto* b) { return a->imageBaseAddress < b->imageBaseAddress; });

    const auto processPath = processPathOf(report);
    std::vector<std::shared_ptr<Binary>> binaries;
    for (const auto* image : images) {
        const std::uint64_t start = image->imageBaseAddress;
        const std::uint64_t span = std::max<std::uint64_t>(image->imageSize, 1) - 1;
        // An image reaching past the top of the address space ends there.
        const std::uint64_t end = span > std::numeric_limits<std::uint64_t>::max() - start
                                      ? std::numeric_limits<std::uint64_t>::max()
                                      : start + span;
        const bool used = isBinaryWithStart(start, end, addresses);
        const ImageType kind = imageTypeForImagePath(image->imageName, processPath);
        if (!used && kind == Other) continue;

        auto binary = std::make_shared<Binary>();
        binary->binaryId = binaryIdOf(*image);
        binary->startAddress = formatAddress(start, is64bit);
        binary->endAddress = formatAddress(end, is64bit);
        binary->path = image->imageName.empty() ? std::string() : anonymizedPathFromPath(image->imageName);
        std::string name = std::filesystem::path(image->imageName).filename().string();
        binary->name = name.empty() ? kUnknown : name;
        if (image->codeType) {
            binary->primaryArchitectureId = architectureNumber(image->codeType->type);
            binary->architectureVariantId = architectureNumber(image->codeType->subtype);
        }
        binaries.push_back(std::move(binary));
    }
    return binaries;
}

std::string ErrorLogFormatter::binaryIdOf(const CrashReportBinaryImageInfo& image) {
    if (image.hasImageUUID && !image.imageUUID.empty()) return hexText(image.imageUUID);
    // No build-id: 32 hex digits of the SHA-256 of the image's path and size,
    // the same for the same image in every report.
    Digest digest;
    digest.add("zelvo-image").add(image.imageName).add(image.imageSize);
    const auto bytes = digest.first16();
    return hexText(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

bool ErrorLogFormatter::isBinaryWithStart(std::uint64_t start, std::uint64_t end,
                                          const std::set<std::uint64_t>& addresses) {
    auto first = addresses.lower_bound(start);
    return first != addresses.end() && *first <= end;
}

std::string ErrorLogFormatter::anonymizedPathFromPath(const std::string& path) { return anonymized_path::ofPath(path); }

ErrorLogFormatter::ImageType ErrorLogFormatter::imageTypeForImagePath(const std::optional<std::string>& imagePath,
                                                                      const std::optional<std::string>& processPath) {
    if (!imagePath || !processPath) return Other;
    const std::string image = std::filesystem::path(lowercase(*imagePath)).lexically_normal().string();
    const std::string process = lowercase(*processPath);

    const auto bundleEnd = image.find(".app/");
    if (bundleEnd == std::string::npos) {
        // Linux programs are not bundles: only the executable itself is the
        // application's own code.
        return image == std::filesystem::path(process).lexically_normal().string() ? MainExecutable : Other;
    }
    const bool runtimeLibrary = image.find("frameworks/libswift") != std::string::npos && image.ends_with(".dylib");
    if (runtimeLibrary) return Other;
    if (image.starts_with(process)) return MainExecutable;
    const std::string bundle = image.substr(0, bundleEnd + 5);
    return process.starts_with(bundle) ? ApplicationFramework : Other;
}

std::shared_ptr<Device> ErrorLogFormatter::deviceForTimestamp(std::optional<Date> timestamp,
                                                              const CrashReport& report) {
    DeviceLookup lookup;
    {
        std::lock_guard lock(hooks().mutex);
        lookup = hooks().deviceLookup;
    }
    std::shared_ptr<Device> recorded =
        lookup ? lookup(timestamp) : DeviceTracker::sharedInstance()->deviceForTimestamp(timestamp);
    auto device = std::make_shared<Device>();
    if (recorded) {
        device->sdkName = recorded->sdkName;
        device->sdkVersion = recorded->sdkVersion;
        device->oemName = recorded->oemName;
        device->osName = recorded->osName;
        device->osApiLevel = recorded->osApiLevel;
        device->locale = recorded->locale;
        device->timeZoneOffset = recorded->timeZoneOffset;
        device->screenSize = recorded->screenSize;
        device->carrierName = recorded->carrierName;
        device->carrierCountry = recorded->carrierCountry;
        device->wrapperSdkName = recorded->wrapperSdkName;
        device->wrapperSdkVersion = recorded->wrapperSdkVersion;
        device->wrapperRuntimeVersion = recorded->wrapperRuntimeVersion;
        device->liveUpdateReleaseLabel = recorded->liveUpdateReleaseLabel;
        device->liveUpdateDeploymentKey = recorded->liveUpdateDeploymentKey;
        device->liveUpdatePackageHash = recorded->liveUpdatePackageHash;
    }
    auto either = [](const std::optional<std::string>& fromReport, const std::optional<std::string>& fromRecord) {
        return fromReport ? fromReport : fromRecord;
    };
    const auto none = std::optional<std::string>();
    const auto& system = report.systemInfo();
    const auto& application = report.applicationInfo();
    device->osVersion = either(system.operatingSystemVersion, recorded ? recorded->osVersion : none);
    device->osBuild = either(system.operatingSystemBuild, recorded ? recorded->osBuild : none);
    device->model =
        either(report.machineInfo() ? report.machineInfo()->modelName : none, recorded ? recorded->model : none);
    device->appBuild = either(application.applicationVersion, recorded ? recorded->appBuild : none);
    device->appVersion = either(application.applicationMarketingVersion, recorded ? recorded->appVersion : none);
    device->appNamespace = either(application.applicationIdentifier, recorded ? recorded->appNamespace : none);
    return device;
}

bool ErrorLogFormatter::isCodeType64bit(std::uint64_t cpuType) {
    return cpuType == kCpuTypeX86_64 || cpuType == kCpuTypeArm64;
}

const CrashReportThreadInfo* ErrorLogFormatter::findCrashedThreadInReport(const CrashReport& report) {
    for (const auto& thread : report.threads())
        if (thread.crashed) return &thread;
    return nullptr;
}

std::set<std::uint64_t> ErrorLogFormatter::addressesFromReport(const CrashReport& report) {
    std::set<std::uint64_t> addresses;
    if (report.exceptionInfo())
        for (const auto& frame : report.exceptionInfo()->stackFrames) addresses.insert(frame.instructionPointer);
    for (const auto& thread : report.threads()) {
        for (const auto& frame : thread.stackFrames) addresses.insert(frame.instructionPointer);
        for (const auto& reg : thread.registers) addresses.insert(reg.registerValue);
    }
    return addresses;
}

std::string ErrorLogFormatter::uuidRefToString(const std::array<std::uint8_t, 16>& uuid) {
    return uuid_text::fromBytes(uuid);
}

std::string ErrorLogFormatter::formatAddress(std::uint64_t address, bool is64bit) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llx", is64bit ? 16 : 8, static_cast<unsigned long long>(address));
    return text;
}

} // namespace beacon
