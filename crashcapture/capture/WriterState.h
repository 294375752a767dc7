#pragma once

#include "crashcapture/capture/FixedText.h"

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace crashcapture {
class CrashReporter;
}

namespace platform {
struct UncaughtException;
}

namespace crashcapture::capture {

// Values of the report's enumerations as the format defines them.
enum : std::uint32_t {
    kOperatingSystemLinux = 5,
    kArchitectureX86_64 = 1,
    kArchitectureUnknown = 6,
    kTypeEncodingMach = 1,
};

constexpr std::size_t kMaxFrames = 512;

// Bytes written as custom data; never freed once published, because a crash
// on another thread may be reading them.
struct CustomDataBlock {
    std::size_t size;
    std::uint8_t bytes[1];
};

// An uncaught exception kept for the report.
struct ExceptionRecord {
    FixedText<512> name;
    FixedText<4096> reason;
    std::uintptr_t frames[kMaxFrames];
    std::size_t frameCount = 0;

    void assign(const platform::UncaughtException& exception);
};

// Everything the report says about the process, the machine and the
// application, gathered before a crash (no allocation when it is read).
struct WriterState {
    bool userRequested = false;
    std::uint8_t reportUuid[16] = {};
    unsigned symbolicationStrategy = 0;

    FixedText<256> applicationIdentifier;
    FixedText<256> applicationVersion;
    FixedText<256> applicationMarketingVersion; // present only when set

    std::uint32_t operatingSystem = kOperatingSystemLinux;
    FixedText<128> osVersion;
    FixedText<256> osBuild;
    std::uint32_t architecture = kArchitectureUnknown;

    FixedText<256> machineModel;
    std::uint64_t cpuType = 0;
    std::uint64_t cpuSubtype = 0;
    std::uint32_t processorCount = 0;
    std::uint32_t logicalProcessorCount = 0;

    FixedText<256> processName;
    std::uint32_t processId = 0;
    FixedText<PATH_MAX> processPath;
    FixedText<256> parentProcessName;
    std::uint32_t parentProcessId = 0;
    bool native = true;
    std::uint64_t startTime = 0; // seconds since 1970; 0 = unknown

    // The main program's program headers (auxiliary vector), for the image list.
    std::uintptr_t mainProgramHeaders = 0;
    std::size_t mainProgramHeaderCount = 0;
};

// Fills the state from the reporter, /proc, /sys and uname.
void gatherWriterState(const CrashReporter& reporter, WriterState& state);

// A fresh random report id (async-signal-safe: getrandom, else the clock).
void newReportUuid(WriterState& state);

// The Mach CPU type and subtype of this build's processor, and of an ELF
// machine (0, 0 when unknown).
void hostProcessor(std::uint64_t& type, std::uint64_t& subtype);
void processorForElfMachine(unsigned machine, std::uint64_t& type, std::uint64_t& subtype);

// The most custom data a report carries: with it, a report of many threads
// still stays below the reader's limit of 8 MiB.
constexpr std::size_t kMaxCustomDataSize = 4u << 20;

// A block holding the data; null for none, and for more than kMaxCustomDataSize.
CustomDataBlock* makeCustomDataBlock(const std::vector<std::uint8_t>& data);

} // namespace crashcapture::capture
