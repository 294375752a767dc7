#pragma once

#include <filesystem>
#include <optional>

namespace crashcapture {

// How a crash is caught.
enum class CrashReporterSignalHandlerType : int {
    BSD = 0,  // POSIX signal handlers (the only mode on Linux)
    Mach = 1, // Mach exception server
};

// Which symbol lookups the capture does, a bit set; 0 is none.
enum class CrashReporterSymbolicationStrategy : unsigned {
    None = 0,
    SymbolTable = 1 << 0,
    ObjC = 1 << 1,
    All = SymbolTable | ObjC,
};

// What a CrashReporter is built from.
class CrashReporterConfig {
public:
    CrashReporterConfig() = default;
    CrashReporterConfig(CrashReporterSignalHandlerType signalHandlerType,
                        CrashReporterSymbolicationStrategy symbolicationStrategy,
                        bool shouldRegisterUncaughtExceptionHandler = true,
                        std::optional<std::filesystem::path> basePath = std::nullopt)
        : signalHandlerType_(signalHandlerType), symbolicationStrategy_(symbolicationStrategy),
          shouldRegisterUncaughtExceptionHandler_(shouldRegisterUncaughtExceptionHandler),
          basePath_(std::move(basePath)) {}

    CrashReporterSignalHandlerType signalHandlerType() const { return signalHandlerType_; }
    CrashReporterSymbolicationStrategy symbolicationStrategy() const { return symbolicationStrategy_; }
    bool shouldRegisterUncaughtExceptionHandler() const { return shouldRegisterUncaughtExceptionHandler_; }
    // Where the reporter keeps its files; the user's cache directory when unset.
    const std::optional<std::filesystem::path>& basePath() const { return basePath_; }

private:
    CrashReporterSignalHandlerType signalHandlerType_ = CrashReporterSignalHandlerType::BSD;
    CrashReporterSymbolicationStrategy symbolicationStrategy_ = CrashReporterSymbolicationStrategy::None;
    bool shouldRegisterUncaughtExceptionHandler_ = true;
    std::optional<std::filesystem::path> basePath_;
};

} // namespace crashcapture
