#include "crashcapture/capture/WriterState.h"

#include "crashcapture/reporter/CrashReporter.h"
#include "platform/UncaughtExceptionHandler.h"

#include <elf.h>
#include <filesystem>
#include <fstream>
#include <new>
#include <ctime>
#include <set>
#include <sstream>
#include <string>
#include <sys/auxv.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <utility>

namespace crashcapture::capture {

namespace {

constexpr std::uint64_t kCpuTypeX86 = 7;
constexpr std::uint64_t kCpuTypeX86_64 = 0x1000007;
constexpr std::uint64_t kCpuSubtypeX86All = 3;
constexpr std::uint64_t kCpuTypeArm = 12;
constexpr std::uint64_t kCpuTypeArm64 = 0x100000C;

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// A process's name: the kernel keeps only its first 15 bytes ("comm"), so the
// executable's file name is taken when it starts with them.
std::string commandName(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    std::string name = firstLine(base + "/comm");
    std::error_code ec;
    const std::string executable = std::filesystem::read_symlink(base + "/exe", ec).filename().string();
    if (!ec && !name.empty() && executable.size() > name.size() && executable.compare(0, name.size(), name) == 0)
        return executable;
    return name;
}

// Seconds since 1970 at which the process started: boot time plus the
// start tick of /proc/self/stat.
std::uint64_t processStartTime() {
    std::ifstream stat("/proc/self/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = content.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(content.substr(close + 2));
    std::string field;
    // After the command come state (field 3) ... starttime (field 22).
    for (int index = 3; index <= 22 && fields >> field; ++index)
        if (index == 22) break;
    unsigned long long ticks = 0;
    try {
        ticks = std::stoull(field);
    } catch (...) {
        return 0;
    }
    std::ifstream systemStat("/proc/stat");
    std::string name;
    unsigned long long bootTime = 0;
    while (systemStat >> name) {
        if (name == "btime") {
            systemStat >> bootTime;
            break;
        }
        systemStat.ignore(1 << 20, '\n');
    }
    const long hertz = ::sysconf(_SC_CLK_TCK);
    if (bootTime == 0 || hertz <= 0) return 0;
    return bootTime + ticks / static_cast<unsigned long long>(hertz);
}

// Physical cores: distinct (package, core) pairs of the CPU topology.
std::uint32_t physicalCoreCount(std::uint32_t logical) {
    std::set<std::pair<std::string, std::string>> cores;
    for (std::uint32_t cpu = 0; cpu < logical; ++cpu) {
        const std::string base = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/";
        std::string package = firstLine(base + "physical_package_id");
        std::string core = firstLine(base + "core_id");
        if (core.empty()) continue;
        cores.emplace(package, core);
    }
    return cores.empty() ? logical : static_cast<std::uint32_t>(cores.size());
}

} // namespace

void ExceptionRecord::assign(const platform::UncaughtException& exception) {
    name.assign(exception.name);
    reason.assign(exception.reason);
    frameCount = 0;
    for (std::uintptr_t address : exception.callStackReturnAddresses) {
        if (frameCount == kMaxFrames) break;
        frames[frameCount++] = address;
    }
}

void hostProcessor(std::uint64_t& type, std::uint64_t& subtype) {
#if defined(__x86_64__)
    type = kCpuTypeX86_64;
    subtype = kCpuSubtypeX86All;
#elif defined(__aarch64__)
    type = kCpuTypeArm64;
    subtype = 0;
#elif defined(__i386__)
    type = kCpuTypeX86;
    subtype = kCpuSubtypeX86All;
#else
    type = 0;
    subtype = 0;
#endif
}

void processorForElfMachine(unsigned machine, std::uint64_t& type, std::uint64_t& subtype) {
    switch (machine) {
    case EM_X86_64:
        type = kCpuTypeX86_64;
        subtype = kCpuSubtypeX86All;
        break;
    case EM_386:
        type = kCpuTypeX86;
        subtype = kCpuSubtypeX86All;
        break;
    case EM_AARCH64:
        type = kCpuTypeArm64;
        subtype = 0;
        break;
    case EM_ARM:
        type = kCpuTypeArm;
        subtype = 9;
        break;
    default:
        type = 0;
        subtype = 0;
        break;
    }
}

CustomDataBlock* makeCustomDataBlock(const std::vector<std::uint8_t>& data) {
    if (data.empty() || data.size() > kMaxCustomDataSize) return nullptr;
    void* memory = ::operator new(sizeof(CustomDataBlock) + data.size());
    auto* block = static_cast<CustomDataBlock*>(memory);
    block->size = data.size();
    std::memcpy(block->bytes, data.data(), data.size());
    return block;
}

void newReportUuid(WriterState& state) {
    if (::getrandom(state.reportUuid, sizeof state.reportUuid, 0) != static_cast<ssize_t>(sizeof state.reportUuid)) {
        // Without entropy: the clock and the pid still tell processes apart.
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const std::uint64_t mix[2] = {static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL +
                                          static_cast<std::uint64_t>(now.tv_nsec),
                                      static_cast<std::uint64_t>(::getpid())};
        std::memcpy(state.reportUuid, mix, sizeof state.reportUuid);
    }
    state.reportUuid[6] = static_cast<std::uint8_t>((state.reportUuid[6] & 0x0F) | 0x40); // version 4
    state.reportUuid[8] = static_cast<std::uint8_t>((state.reportUuid[8] & 0x3F) | 0x80); // RFC 4122 variant
}

void gatherWriterState(const CrashReporter& reporter, WriterState& state) {
    newReportUuid(state);
    state.symbolicationStrategy = static_cast<unsigned>(reporter.configuration().symbolicationStrategy());

    state.applicationIdentifier.assign(reporter.applicationIdentifier());
    state.applicationVersion.assign(reporter.applicationVersion());
    if (reporter.applicationMarketingVersion())
        state.applicationMarketingVersion.assign(*reporter.applicationMarketingVersion());
    else state.applicationMarketingVersion.clear();

    struct utsname names {};
    if (::uname(&names) == 0) {
        state.osVersion.assign(names.release);
        state.osBuild.assign(names.version);
    } else {
        state.osVersion.assign("unknown");
    }
#if defined(__x86_64__)
    state.architecture = kArchitectureX86_64;
#else
    state.architecture = kArchitectureUnknown;
#endif

    const std::string model = firstLine("/sys/class/dmi/id/product_name");
    if (!model.empty()) state.machineModel.assign(model);
    hostProcessor(state.cpuType, state.cpuSubtype);
    const long logical = ::sysconf(_SC_NPROCESSORS_CONF);
    state.logicalProcessorCount = logical > 0 ? static_cast<std::uint32_t>(logical) : 1;
    state.processorCount = physicalCoreCount(state.logicalProcessorCount);

    state.processId = static_cast<std::uint32_t>(::getpid());
    const std::string name = commandName(::getpid());
    if (!name.empty()) state.processName.assign(name);
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length > 0) state.processPath.assign(std::string_view(path, static_cast<std::size_t>(length)));
    state.parentProcessId = static_cast<std::uint32_t>(::getppid());
    const std::string parent = commandName(::getppid());
    if (!parent.empty()) state.parentProcessName.assign(parent);
    state.native = true;
    state.startTime = processStartTime();

    state.mainProgramHeaders = ::getauxval(AT_PHDR);
    state.mainProgramHeaderCount = ::getauxval(AT_PHNUM);
}

} // namespace crashcapture::capture
