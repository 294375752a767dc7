#pragma once

#include "zvcrash_loose.pb-c.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace crashcapture::testing {

// Assembles a crash report message with the code protoc-c generates from the
// report schema and encodes it as a report file. It uses a twin of the
// schema in which every field is optional (same names, numbers and types, so
// the bytes are the same), so that tests can also leave out fields the
// schema requires.
//
// A new builder holds a complete Linux x86-64 report: a crashed thread 0 with
// registers and a thread 1, three images (the executable, libc, an unused
// libm), SIGSEGV at 0x10, process, machine and report information.
class ReportBuilder {
public:
    using Message = ZvcrashLoose__CrashReport;
    using Frame = ZvcrashLoose__CrashReport__Thread__StackFrame;
    using Thread = ZvcrashLoose__CrashReport__Thread;
    using Image = ZvcrashLoose__CrashReport__BinaryImage;

    struct FrameSpec {
        FrameSpec(std::uint64_t pc) : pc(pc) {}
        FrameSpec(std::uint64_t pc, std::optional<std::string> symbol, std::uint64_t symbolStart)
            : pc(pc), symbol(std::move(symbol)), symbolStart(symbolStart) {}
        std::uint64_t pc = 0;
        std::optional<std::string> symbol;
        std::uint64_t symbolStart = 0;
    };

    static constexpr std::array<std::uint8_t, 16> kReportUUID = {0x8f, 0x2c, 0x1a, 0x3e, 0x55, 0x60, 0x4b, 0x7d,
                                                                 0x9a, 0x01, 0xc4, 0xe2, 0x3f, 0x10, 0xab, 0xcd};
    static constexpr std::uint64_t kExecutableBase = 0x555555554000;
    static constexpr std::uint64_t kLibcBase = 0x7ffff7d80000;
    static constexpr std::uint64_t kLibmBase = 0x7ffff7c00000;

    ReportBuilder();
    ReportBuilder(const ReportBuilder&) = delete;
    ReportBuilder& operator=(const ReportBuilder&) = delete;

    Message& message() { return message_; }
    ZvcrashLoose__CrashReport__SystemInfo& systemInfo() { return system_; }
    ZvcrashLoose__CrashReport__ProcessInfo& processInfo() { return process_; }
    ZvcrashLoose__CrashReport__MachineInfo& machineInfo() { return machine_; }
    ZvcrashLoose__CrashReport__Processor& machineProcessor() { return machineProcessor_; }
    ZvcrashLoose__CrashReport__Signal& signal() { return signal_; }
    ZvcrashLoose__CrashReport__ApplicationInfo& applicationInfo() { return application_; }
    ZvcrashLoose__CrashReport__ReportInfo& reportInfo() { return reportInfo_; }

    Thread& addThread(std::uint32_t number, bool crashed, const std::vector<FrameSpec>& frames,
                      const std::vector<std::pair<std::string, std::uint64_t>>& registers = {});
    Image& addImage(std::uint64_t base, std::uint64_t size, const std::string& name,
                    std::optional<std::array<std::uint8_t, 16>> uuid = std::nullopt,
                    std::optional<std::pair<std::uint64_t, std::uint64_t>> codeType = std::nullopt);
    void setException(const std::string& name, const std::string& reason, const std::vector<FrameSpec>& frames);
    void setMachException(std::uint64_t type, std::size_t codeCount);
    void setCustomData(const std::string& bytes);
    void setReportUUID(const std::vector<std::uint8_t>& bytes);
    void clearThreads();
    void clearImages();

    // An owned, NUL-terminated copy for the message's string fields.
    char* text(const std::string& value);

    std::vector<std::uint8_t> file() const; // "zvcrash", version 1, the encoded message

private:
    Frame* frame(const FrameSpec& wanted);
    // Owned frames for `frames`; their number goes to `count`.
    Frame** frameList(const std::vector<FrameSpec>& frames, std::size_t& count);
    ZvcrashLoose__CrashReport__Processor* processor(std::uint64_t type, std::uint64_t subtype);
    template <typename T> T* own(const T& value);

    Message message_;
    ZvcrashLoose__CrashReport__SystemInfo system_;
    ZvcrashLoose__CrashReport__ApplicationInfo application_;
    ZvcrashLoose__CrashReport__Signal signal_;
    ZvcrashLoose__CrashReport__Signal__MachException mach_;
    ZvcrashLoose__CrashReport__ProcessInfo process_;
    ZvcrashLoose__CrashReport__MachineInfo machine_;
    ZvcrashLoose__CrashReport__Processor machineProcessor_;
    ZvcrashLoose__CrashReport__ReportInfo reportInfo_;
    ZvcrashLoose__CrashReport__Exception exception_;

    std::vector<Thread*> threads_;
    std::vector<Image*> images_;
    std::deque<std::vector<Frame*>> frameLists_;
    std::deque<std::vector<ZvcrashLoose__CrashReport__Thread__RegisterValue*>> registerLists_;
    std::deque<std::string> strings_;
    std::deque<std::vector<std::uint8_t>> blobs_;
    std::vector<std::uint64_t> machCodes_;
    std::vector<std::shared_ptr<void>> owned_;
};

} // namespace crashcapture::testing
