#include "crashcapture/capture/ReportWriter.h"

#include "crashcapture/capture/FaultGuard.h"
#include "crashcapture/capture/ImageList.h"
#include "crashcapture/capture/ProtobufEncoder.h"
#include "crashcapture/capture/SignalNames.h"
#include "crashcapture/capture/StackWalker.h"
#include "crashcapture/capture/SymbolLookup.h"
#include "crashcapture/capture/ThreadStopper.h"

#include <ctime>
#include <string_view>

namespace crashcapture::capture {

namespace {

// How long the writer waits for the other threads to stop, in total.
constexpr long kStopTimeoutMilliseconds = 250;

constexpr std::size_t kMaxImages = 2048;

std::uint8_t outputBuffer[kOutputBufferSize];
std::uintptr_t frameBuffer[kMaxFrames];
long stopMicroseconds = 0;

// The loaded images, listed once per report for the symbol lookups, and the
// symbol found for each frame of the thread being written.
LoadedImage imageTable[kMaxImages];
std::size_t imageCount = 0;
FoundSymbol frameSymbols[kMaxFrames];
bool frameHasSymbol[kMaxFrames];

// Field numbers of the report message.
namespace field {
enum : std::uint32_t {
    SystemInfo = 1,
    ApplicationInfo = 2,
    Threads = 3,
    BinaryImages = 4,
    Exception = 5,
    Signal = 6,
    ProcessInfo = 7,
    MachineInfo = 8,
    ReportInfo = 9,
    CustomData = 10,
};
}

struct RegisterName {
    const char* name;
    int index;
};

#if defined(__x86_64__)
constexpr RegisterName kRegisters[] = {
    {"rax", REG_RAX}, {"rbx", REG_RBX}, {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rdi", REG_RDI}, {"rsi", REG_RSI},
    {"rbp", REG_RBP}, {"rsp", REG_RSP}, {"r8", REG_R8},   {"r9", REG_R9},   {"r10", REG_R10}, {"r11", REG_R11},
    {"r12", REG_R12}, {"r13", REG_R13}, {"r14", REG_R14}, {"r15", REG_R15}, {"rip", REG_RIP}, {"rflags", REG_EFL},
};
#endif

template <class Out> void writeRegisters(Out& out, const ucontext_t& context) {
    auto put = [&](const char* name, std::uint64_t value) {
        pb::messageField(out, 4, [&](auto& o) {
            pb::stringField(o, 1, name);
            pb::uint64Field(o, 2, value);
        });
    };
#if defined(__x86_64__)
    for (const RegisterName& reg : kRegisters)
        put(reg.name, static_cast<std::uint64_t>(context.uc_mcontext.gregs[reg.index]));
    const auto segments = static_cast<std::uint64_t>(context.uc_mcontext.gregs[REG_CSGSFS]);
    put("cs", segments & 0xFFFF);
    put("fs", (segments >> 32) & 0xFFFF);
    put("gs", (segments >> 16) & 0xFFFF);
#elif defined(__aarch64__)
    static constexpr const char* kNames[] = {
        "x0",  "x1",  "x2",  "x3",  "x4",  "x5",  "x6",  "x7",  "x8",  "x9",  "x10", "x11", "x12", "x13", "x14", "x15",
        "x16", "x17", "x18", "x19", "x20", "x21", "x22", "x23", "x24", "x25", "x26", "x27", "x28", "fp",  "lr"};
    for (int index = 0; index < 31; ++index) put(kNames[index], context.uc_mcontext.regs[index]);
    put("sp", context.uc_mcontext.sp);
    put("pc", context.uc_mcontext.pc);
    put("cpsr", context.uc_mcontext.pstate);
#else
    (void)put;
    (void)context;
#endif
}

// Looks up the symbol of each frame when the strategy asks for symbols. A
// return address (every frame but a thread's first) is looked up one byte
// earlier, inside the call instruction.
void findSymbols(FaultGuard& guard, unsigned strategy, const std::uintptr_t* frames, std::size_t count,
                 bool firstIsExact) {
    for (std::size_t index = 0; index < count; ++index) {
        frameHasSymbol[index] = false;
        if (strategy == 0 || frames[index] == 0) continue;
        const std::uintptr_t address = index == 0 && firstIsExact ? frames[index] : frames[index] - 1;
        for (std::size_t image = 0; image < imageCount; ++image) {
            if (address < imageTable[image].base || address >= imageTable[image].base + imageTable[image].size)
                continue;
            frameHasSymbol[index] = findDynamicSymbol(guard, imageTable[image], address, frameSymbols[index]);
            break;
        }
    }
}

template <class Out>
void writeFrames(Out& out, std::uint32_t fieldNumber, const std::uintptr_t* frames, std::size_t count) {
    for (std::size_t index = 0; index < count; ++index)
        pb::messageField(out, fieldNumber, [&](auto& o) {
            pb::uint64Field(o, 3, frames[index]);
            if (!frameHasSymbol[index]) return;
            const FoundSymbol& symbol = frameSymbols[index];
            pb::messageField(o, 6, [&](auto& p) {
                pb::stringField(p, 1, std::string_view(symbol.name, symbol.nameLength));
                pb::uint64Field(p, 2, symbol.start);
                pb::uint64Field(p, 3, symbol.end);
            });
        });
}

std::int64_t now() {
    timespec time{};
    if (::clock_gettime(CLOCK_REALTIME, &time) != 0) return 0;
    return time.tv_sec;
}

} // namespace

long lastStopMicroseconds() { return stopMicroseconds; }

int writeReport(int fd, const ReportInput& input) {
    const WriterState& state = *input.state;
    const pid_t self = currentThreadId();

    timespec stopStart{};
    timespec stopEnd{};
    ::clock_gettime(CLOCK_MONOTONIC, &stopStart);
    ThreadStopper::stopOthers(kStopTimeoutMilliseconds);
    ::clock_gettime(CLOCK_MONOTONIC, &stopEnd);
    stopMicroseconds = (stopEnd.tv_sec - stopStart.tv_sec) * 1000000 + (stopEnd.tv_nsec - stopStart.tv_nsec) / 1000;

    FaultGuard guard;
    BufferedFileOutput out(fd, outputBuffer, sizeof outputBuffer);
    out.put("zvcrash\x01", 8);

    pb::messageField(out, field::ReportInfo, [&](auto& o) {
        pb::boolField(o, 1, state.userRequested);
        pb::bytesField(o, 2, state.reportUuid, sizeof state.reportUuid);
    });
    const std::int64_t timestamp = now();
    pb::messageField(out, field::SystemInfo, [&](auto& o) {
        pb::uint64Field(o, 1, state.operatingSystem);
        pb::stringField(o, 2, state.osVersion.view());
        if (state.osBuild.present) pb::stringField(o, 5, state.osBuild.view());
        pb::uint64Field(o, 3, state.architecture);
        pb::int64Field(o, 4, timestamp);
    });
    pb::messageField(out, field::MachineInfo, [&](auto& o) {
        if (state.machineModel.present) pb::stringField(o, 1, state.machineModel.view());
        pb::messageField(o, 2, [&](auto& p) {
            pb::uint64Field(p, 1, kTypeEncodingMach);
            pb::uint64Field(p, 2, state.cpuType);
            pb::uint64Field(p, 3, state.cpuSubtype);
        });
        pb::uint64Field(o, 3, state.processorCount);
        pb::uint64Field(o, 4, state.logicalProcessorCount);
    });
    pb::messageField(out, field::ApplicationInfo, [&](auto& o) {
        pb::stringField(o, 1, state.applicationIdentifier.view());
        pb::stringField(o, 2, state.applicationVersion.view());
        if (state.applicationMarketingVersion.present) pb::stringField(o, 3, state.applicationMarketingVersion.view());
    });
    pb::messageField(out, field::ProcessInfo, [&](auto& o) {
        if (state.processName.present) pb::stringField(o, 1, state.processName.view());
        pb::uint64Field(o, 2, state.processId);
        if (state.processPath.present) pb::stringField(o, 3, state.processPath.view());
        if (state.parentProcessName.present) pb::stringField(o, 4, state.parentProcessName.view());
        pb::uint64Field(o, 5, state.parentProcessId);
        pb::boolField(o, 6, state.native);
        if (state.startTime != 0) pb::uint64Field(o, 7, state.startTime);
    });

    ImageList images(guard, state.mainProgramHeaders, state.mainProgramHeaderCount, state.processPath.data,
                     state.processPath.size);
    imageCount = 0;
    images.forEach([&](const LoadedImage& image) {
        if (imageCount < kMaxImages) imageTable[imageCount++] = image;
    });

    std::uint32_t number = 0;
    for (std::size_t index = 0; index < ThreadStopper::count(); ++index) {
        const ThreadStopper::Thread& thread = ThreadStopper::thread(index);
        const ucontext_t* context = nullptr;
        bool signalFrame = true;
        if (thread.id == input.crashedThread && input.crashedContext) {
            context = input.crashedContext;
            signalFrame = input.crashedContextIsSignalFrame;
        } else if (thread.id == self) {
            continue; // the caller gave no registers for itself
        } else if (thread.captured) {
            context = thread.context;
        }
        const std::size_t frames = context ? walkStack(guard, *context, signalFrame, frameBuffer, kMaxFrames) : 0;
        findSymbols(guard, state.symbolicationStrategy, frameBuffer, frames, signalFrame);
        const bool crashed = thread.id == input.crashedThread;
        pb::messageField(out, field::Threads, [&](auto& o) {
            pb::uint64Field(o, 1, number);
            writeFrames(o, 2, frameBuffer, frames);
            pb::boolField(o, 3, crashed);
            if (crashed && context) writeRegisters(o, *context);
        });
        ++number;
    }

    for (std::size_t index = 0; index < imageCount; ++index) {
        const LoadedImage& image = imageTable[index];
        // The path is the linker's memory: copy it through the guard first.
        static char path[4096];
        std::size_t length = image.pathLength < sizeof path ? image.pathLength : sizeof path;
        if (!guard.read(path, image.path, length)) continue;
        pb::messageField(out, field::BinaryImages, [&](auto& o) {
            pb::uint64Field(o, 1, image.base);
            pb::uint64Field(o, 2, image.size);
            pb::stringField(o, 3, std::string_view(path, length));
            if (image.hasUuid) pb::bytesField(o, 4, image.uuid, sizeof image.uuid);
            if (image.hasCpuType)
                pb::messageField(o, 5, [&](auto& p) {
                    pb::uint64Field(p, 1, kTypeEncodingMach);
                    pb::uint64Field(p, 2, image.cpuType);
                    pb::uint64Field(p, 3, image.cpuSubtype);
                });
        });
    }

    if (input.exception) {
        const ExceptionRecord& exception = *input.exception;
        findSymbols(guard, state.symbolicationStrategy, exception.frames, exception.frameCount, false);
        pb::messageField(out, field::Exception, [&](auto& o) {
            pb::stringField(o, 1, exception.name.view());
            pb::stringField(o, 2, exception.reason.view());
            writeFrames(o, 3, exception.frames, exception.frameCount);
        });
    }

    char signalText[32];
    char codeText[32];
    const std::size_t signalLength = signalName(input.signal.number, signalText);
    const std::size_t codeLength = signalCodeName(input.signal.number, input.signal.code, codeText);
    pb::messageField(out, field::Signal, [&](auto& o) {
        pb::stringField(o, 1, std::string_view(signalText, signalLength));
        pb::stringField(o, 2, std::string_view(codeText, codeLength));
        pb::uint64Field(o, 3, input.signal.address);
    });

    if (input.customData && input.customData->size > 0)
        pb::bytesField(out, field::CustomData, input.customData->bytes, input.customData->size);

    out.flush();
    return out.error();
}

} // namespace crashcapture::capture
