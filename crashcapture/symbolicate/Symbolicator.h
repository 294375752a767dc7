#pragma once

#include "crashcapture/report/CrashReport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace crashcapture {

// Resolves the addresses of a crash report offline, with the ELF files and
// their debug information found on this machine (elfutils libdwfl). An image
// is used only when the file at its recorded path has the build-id the report
// recorded for it, so a report of another build stays unresolved instead of
// being resolved wrongly.
class Symbolicator {
public:
    enum class ImageStatus { Resolved, NoBuildId, NotFound, BuildIdDiffers };

    struct Frame {
        std::uint64_t pc = 0;
        std::optional<std::string> image;    // the image's file name
        std::optional<std::string> function; // demangled
        std::uint64_t functionOffset = 0;
        std::optional<std::string> file;
        int line = 0;
    };

    explicit Symbolicator(const CrashReport& report);
    ~Symbolicator();
    Symbolicator(const Symbolicator&) = delete;
    Symbolicator& operator=(const Symbolicator&) = delete;

    ImageStatus status(std::size_t imageIndex) const;
    // A return address is looked up one byte earlier (inside the call); the
    // first frame of a thread and an exception's frames are exact addresses.
    Frame resolve(std::uint64_t pc, bool returnAddress) const;

private:
    struct State;
    const CrashReport& report_;
    std::unique_ptr<State> state_;
};

// The whole report as text: threads with their resolved frames, the
// exception, the signal and the images with their status.
std::string symbolicatedReportText(const CrashReport& report);

} // namespace crashcapture
