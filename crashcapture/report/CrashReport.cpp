#include "crashcapture/report/CrashReport.h"

#include "crashcapture/report/Utf8Text.h"
#include "zvcrash.pb-c.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

namespace crashcapture {

namespace {

using Message = Zvcrash__CrashReport;

constexpr char kHeaderMagic[] = {'z', 'v', 'c', 'r', 'a', 's', 'h'};
constexpr std::uint64_t kCpuTypeArm64 = 0x100000C;
constexpr std::uint64_t kCpuSubtypeArm64e = 2;
// Pointer-authentication signatures live above the low 36 bits of a pc.
constexpr std::uint64_t kArm64eAddressMask = (std::uint64_t{1} << 36) - 1;
constexpr std::size_t kMaxMachExceptionCodes = 255;

struct MessageDeleter {
    void operator()(Message* message) const { zvcrash__crash_report__free_unpacked(message, nullptr); }
};

// Texts of the report, whole (an embedded NUL included) and made valid UTF-8.
std::string text(const ProtobufCBinaryData& value) {
    if (!value.data || value.len == 0) return std::string();
    return validUtf8(std::string(reinterpret_cast<const char*>(value.data), value.len));
}

std::optional<std::string> optionalText(protobuf_c_boolean present, const ProtobufCBinaryData& value) {
    if (!present) return std::nullopt;
    return text(value);
}

// The number the decoder stored in an enum field. The wire format allows any
// 32-bit value there, and loading one outside the C enum's values through the
// enum type is undefined: the bytes are read as an int instead.
template <typename Enum> int enumValue(const Enum& field) {
    static_assert(sizeof(Enum) == sizeof(int));
    int value = 0;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

CrashReportProcessorInfo processorFrom(const Zvcrash__CrashReport__Processor& processor) {
    return {static_cast<CrashReportProcessorTypeEncoding>(processor.has_encoding ? enumValue(processor.encoding) : 0),
            processor.type, processor.subtype};
}

// The processor of a report without machine information, from its
// architecture. Values outside the table (also negative ones, which the wire
// format allows for enums) are unknown.
std::optional<CrashReportProcessorInfo> processorForArchitecture(int architecture) {
    using enum CrashReportProcessorTypeEncoding;
    switch (architecture) {
    case 0: return CrashReportProcessorInfo{Mach, 7, 3};
    case 1: return CrashReportProcessorInfo{Mach, 0x1000007, 3};
    case 2: return CrashReportProcessorInfo{Mach, 12, 6};
    case 3: return CrashReportProcessorInfo{Mach, 18, 0};
    case 4: return CrashReportProcessorInfo{Mach, 0x1000012, 0};
    case 5: return CrashReportProcessorInfo{Mach, 12, 9};
    default: return std::nullopt;
    }
}

} // namespace

class CrashReport::Reader {
public:
    explicit Reader(CrashReport& report) : report_(report) {}

    // Fills the report from the decoded message; returns the first failure's
    // text, or nothing when every check passed.
    std::optional<std::string> read(const Message& message) {
        if (message.report_info && message.report_info->has_uuid) {
            const ProtobufCBinaryData& uuid = message.report_info->uuid;
            if (uuid.len != 16) return "Report UUID value is not a standard 16 bytes";
            std::array<std::uint8_t, 16> bytes{};
            std::memcpy(bytes.data(), uuid.data, 16);
            report_.uuidRef_ = bytes;
        }

        if (message.machine_info) {
            const auto& machine = *message.machine_info;
            if (!machine.processor) return "Crash report is missing processor info section";
            report_.machineInfo_ = CrashReportMachineInfo{optionalText(machine.has_model, machine.model),
                                                          processorFrom(*machine.processor), machine.processor_count,
                                                          machine.logical_processor_count};
            const auto& processor = report_.machineInfo_->processorInfo;
            stripPointerAuthentication_ = processor.type == kCpuTypeArm64 && processor.subtype == kCpuSubtypeArm64e;
        }

        if (auto failure = readSystemInfo(message.system_info)) return failure;

        if (!message.application_info) return "Crash report is missing Application Information section";
        report_.applicationInfo_ = {
            text(message.application_info->identifier), text(message.application_info->version),
            optionalText(message.application_info->has_marketing_version, message.application_info->marketing_version)};

        if (message.process_info) readProcessInfo(*message.process_info);

        if (auto failure = readSignal(message.signal)) return failure;

        if (message.n_threads == 0) return "Crash report is missing thread state information";
        if (message.n_threads > kMaxThreads) return "Crash report has too many threads";
        report_.threads_.reserve(message.n_threads);
        for (std::size_t i = 0; i < message.n_threads; ++i) {
            if (auto failure = readThread(*message.threads[i])) return failure;
        }

        if (message.n_binary_images == 0) return "Crash report is missing binary image information";
        if (message.n_binary_images > kMaxImages) return "Crash report has too many binary images";
        report_.images_.reserve(message.n_binary_images);
        for (std::size_t i = 0; i < message.n_binary_images; ++i) {
            if (auto failure = readImage(*message.binary_images[i])) return failure;
        }

        if (message.exception) {
            const auto& exception = *message.exception;
            if (exception.n_frames > kMaxFramesPerThread) return "Crash report has too many exception stack frames";
            report_.exceptionInfo_ = CrashReportExceptionInfo{text(exception.name), text(exception.reason),
                                                              frames(exception.frames, exception.n_frames)};
        }

        if (message.has_custom_data) {
            const auto* bytes = message.custom_data.data;
            report_.customData_ = std::vector<std::uint8_t>(bytes, bytes + message.custom_data.len);
        }
        return std::nullopt;
    }

private:
    std::optional<std::string> readSystemInfo(const Zvcrash__CrashReport__SystemInfo* system) {
        if (!system) return "Crash report is missing System Information section";
        auto& info = report_.systemInfo_;
        info.operatingSystem = static_cast<CrashReportOperatingSystem>(
            system->has_operating_system ? enumValue(system->operating_system) : 0);
        info.operatingSystemVersion = text(system->os_version);
        info.operatingSystemBuild = optionalText(system->has_os_build, system->os_build);
        const int architecture = enumValue(system->architecture);
        info.architecture = static_cast<CrashReportArchitecture>(architecture);
        if (system->timestamp != 0) info.timestamp = std::chrono::sys_seconds(std::chrono::seconds(system->timestamp));
        if (report_.machineInfo_) {
            info.processorInfo = report_.machineInfo_->processorInfo;
        } else {
            auto processor = processorForArchitecture(architecture);
            if (!processor) return "Crash report has an unknown architecture";
            info.processorInfo = *processor;
        }
        return std::nullopt;
    }

    void readProcessInfo(const Zvcrash__CrashReport__ProcessInfo& process) {
        CrashReportProcessInfo info;
        info.processName = optionalText(process.has_process_name, process.process_name);
        info.processID = process.process_id;
        info.processPath = optionalText(process.has_process_path, process.process_path);
        // A start time too large for signed seconds cannot be a real one.
        if (process.has_start_time && process.start_time != 0 &&
            process.start_time <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            info.processStartTime =
                std::chrono::sys_seconds(std::chrono::seconds(static_cast<std::int64_t>(process.start_time)));
        }
        info.parentProcessName = optionalText(process.has_parent_process_name, process.parent_process_name);
        info.parentProcessID = process.parent_process_id;
        info.native = process.native;
        report_.processInfo_ = std::move(info);
    }

    std::optional<std::string> readSignal(const Zvcrash__CrashReport__Signal* signal) {
        if (!signal) return "Crash report is missing Signal Information section";
        report_.signalInfo_ = {text(signal->name), text(signal->code), signal->address};
        if (const auto* mach = signal->mach_exception) {
            if (mach->n_codes > kMaxMachExceptionCodes) return "Crash report includes too many Mach Exception codes";
            report_.machExceptionInfo_ = CrashReportMachExceptionInfo{
                mach->type, std::vector<std::uint64_t>(mach->codes, mach->codes + mach->n_codes)};
        }
        return std::nullopt;
    }

    std::optional<std::string> readThread(const Zvcrash__CrashReport__Thread& thread) {
        if (thread.n_frames > kMaxFramesPerThread) return "Crash report has too many stack frames in a thread";
        CrashReportThreadInfo info;
        info.threadNumber = thread.thread_number;
        info.stackFrames = frames(thread.frames, thread.n_frames);
        info.crashed = thread.crashed;
        info.registers.reserve(thread.n_registers);
        for (std::size_t i = 0; i < thread.n_registers; ++i) {
            const auto& reg = *thread.registers[i];
            info.registers.push_back({text(reg.name), reg.value});
        }
        report_.threads_.push_back(std::move(info));
        return std::nullopt;
    }

    std::optional<std::string> readImage(const Zvcrash__CrashReport__BinaryImage& image) {
        CrashReportBinaryImageInfo info;
        info.imageBaseAddress = image.base_address;
        info.imageSize = image.size;
        info.imageName = text(image.name);
        if (image.has_uuid) {
            info.hasImageUUID = true;
            info.imageUUID.assign(image.uuid.data, image.uuid.data + image.uuid.len);
        }
        if (image.code_type) info.codeType = processorFrom(*image.code_type);
        report_.images_.push_back(std::move(info));
        return std::nullopt;
    }

    std::vector<CrashReportStackFrameInfo> frames(Zvcrash__CrashReport__Thread__StackFrame* const* frames,
                                                  std::size_t count) const {
        std::vector<CrashReportStackFrameInfo> result;
        result.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const auto& frame = *frames[i];
            CrashReportStackFrameInfo info;
            info.instructionPointer = stripPointerAuthentication_ ? frame.pc & kArm64eAddressMask : frame.pc;
            if (const auto* symbol = frame.symbol) {
                info.symbolInfo = CrashReportSymbolInfo{text(symbol->name), symbol->start_address,
                                                        symbol->has_end_address ? symbol->end_address : 0};
            }
            result.push_back(std::move(info));
        }
        return result;
    }

    CrashReport& report_;
    bool stripPointerAuthentication_ = false;
};

std::optional<CrashReport> CrashReport::initWithData(std::span<const std::uint8_t> data, CrashReporterError* error) {
    auto fail = [error](std::string description) -> std::optional<CrashReport> {
        if (error)
            *error = CrashReporterError{CrashReporterError::kDomain, CrashReporterError::InvalidCrashReport,
                                        std::move(description)};
        return std::nullopt;
    };

    if (data.size() <= kHeaderSize) return fail("Could not decode truncated crash log");
    if (data.size() > kMaxFileSize) return fail("Crash report is too large");
    if (std::memcmp(data.data(), kHeaderMagic, sizeof kHeaderMagic) != 0)
        return fail("Could not decode invalid crash log header");
    if (data[7] != kFormatVersion)
        return fail("Could not decode unsupported crash report version: " + std::to_string(data[7]));

    std::unique_ptr<Message, MessageDeleter> message(
        zvcrash__crash_report__unpack(nullptr, data.size() - kHeaderSize, data.data() + kHeaderSize));
    if (!message) return fail("An unknown error occured decoding the crash report");

    CrashReport report;
    if (auto failure = Reader(report).read(*message)) return fail(std::move(*failure));
    report.indexImages();
    return report;
}

void CrashReport::indexImages() {
    imagesByBase_.resize(images_.size());
    for (std::uint32_t i = 0; i < imagesByBase_.size(); ++i) imagesByBase_[i] = i;
    std::stable_sort(imagesByBase_.begin(), imagesByBase_.end(), [this](std::uint32_t a, std::uint32_t b) {
        return images_[a].imageBaseAddress < images_[b].imageBaseAddress;
    });
    reachByBase_.resize(imagesByBase_.size());
    std::uint64_t reach = 0;
    for (std::size_t i = 0; i < imagesByBase_.size(); ++i) {
        const auto& image = images_[imagesByBase_[i]];
        if (image.imageSize > 0) {
            const std::uint64_t span = image.imageSize - 1;
            const std::uint64_t last = span > std::numeric_limits<std::uint64_t>::max() - image.imageBaseAddress
                                           ? std::numeric_limits<std::uint64_t>::max()
                                           : image.imageBaseAddress + span;
            reach = std::max(reach, last);
        }
        reachByBase_[i] = reach;
    }
}

const CrashReportBinaryImageInfo* CrashReport::imageForAddress(std::uint64_t address) const {
    // Images at or below the address, walked down while one of them (or one
    // before them) still reaches it; of those holding it, the first in report
    // order wins, as with a walk in report order.
    auto end = std::upper_bound(
        imagesByBase_.begin(), imagesByBase_.end(), address,
        [this](std::uint64_t value, std::uint32_t index) { return value < images_[index].imageBaseAddress; });
    const CrashReportBinaryImageInfo* found = nullptr;
    std::uint32_t foundIndex = std::numeric_limits<std::uint32_t>::max();
    for (auto i = static_cast<std::size_t>(end - imagesByBase_.begin()); i-- > 0;) {
        if (reachByBase_[i] < address) break;
        const std::uint32_t index = imagesByBase_[i];
        if (index < foundIndex && images_[index].contains(address)) {
            found = &images_[index];
            foundIndex = index;
        }
    }
    return found;
}

} // namespace crashcapture
