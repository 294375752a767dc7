#include "crashcapture/symbolicate/Symbolicator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <elfutils/libdw.h>
#include <elfutils/libdwelf.h>
#include <elfutils/libdwfl.h>
#include <fcntl.h>
#include <filesystem>
#include <gelf.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace crashcapture {

namespace {

const Dwfl_Callbacks kCallbacks = {
    .find_elf = dwfl_build_id_find_elf,
    .find_debuginfo = dwfl_standard_find_debuginfo,
    .section_address = dwfl_offline_section_address,
    .debuginfo_path = nullptr,
};

// The readable name of a symbol, without its symbol version ("@@GLIBC_2.34").
std::string demangle(const char* symbol) {
    std::string name = symbol;
    if (auto at = name.find('@'); at != std::string::npos && at > 0) name.erase(at);
    int status = 0;
    char* plain = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    std::string result = status == 0 && plain ? plain : name;
    std::free(plain);
    return result;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (std::uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

// The build-id's first 16 bytes (zero-filled when shorter) and the lowest
// loaded address of an ELF file; nothing when it has no build-id.
struct ElfFacts {
    std::vector<std::uint8_t> uuid;
    std::uint64_t lowestAddress = 0;
};

std::optional<ElfFacts> readElfFacts(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<ElfFacts> facts;
    if (Elf* elf = elf_begin(fd, ELF_C_READ_MMAP, nullptr)) {
        const void* id = nullptr;
        const ssize_t length = dwelf_elf_gnu_build_id(elf, &id);
        std::size_t headers = 0;
        if (length > 0 && elf_getphdrnum(elf, &headers) == 0) {
            ElfFacts found;
            found.uuid.assign(16, 0);
            std::memcpy(found.uuid.data(), id,
                        static_cast<std::size_t>(length) < 16 ? static_cast<std::size_t>(length) : 16);
            std::uint64_t lowest = UINT64_MAX;
            for (std::size_t index = 0; index < headers; ++index) {
                GElf_Phdr header;
                if (gelf_getphdr(elf, static_cast<int>(index), &header) && header.p_type == PT_LOAD &&
                    header.p_vaddr < lowest)
                    lowest = header.p_vaddr;
            }
            found.lowestAddress = lowest == UINT64_MAX ? 0 : lowest & ~std::uint64_t{0xFFF};
            facts = std::move(found);
        }
        elf_end(elf);
    }
    ::close(fd);
    return facts;
}

} // namespace

struct Symbolicator::State {
    Dwfl* dwfl = nullptr;
    std::vector<ImageStatus> statuses;
};

Symbolicator::Symbolicator(const CrashReport& report) : report_(report), state_(std::make_unique<State>()) {
    elf_version(EV_CURRENT);
    state_->dwfl = dwfl_begin(&kCallbacks);
    if (state_->dwfl) dwfl_report_begin(state_->dwfl);
    for (const CrashReportBinaryImageInfo& image : report.images()) {
        ImageStatus status = ImageStatus::NoBuildId;
        if (image.hasImageUUID && image.imageUUID.size() == 16) {
            const std::optional<ElfFacts> facts = readElfFacts(image.imageName);
            if (!facts) status = ImageStatus::NotFound;
            else if (facts->uuid != image.imageUUID) status = ImageStatus::BuildIdDiffers;
            else if (state_->dwfl) {
                const std::string name = std::filesystem::path(image.imageName).filename().string();
                const GElf_Addr bias = image.imageBaseAddress - facts->lowestAddress;
                status = dwfl_report_elf(state_->dwfl, name.c_str(), image.imageName.c_str(), -1, bias, false)
                             ? ImageStatus::Resolved
                             : ImageStatus::NotFound;
            }
        }
        state_->statuses.push_back(status);
    }
    if (state_->dwfl) dwfl_report_end(state_->dwfl, nullptr, nullptr);
}

Symbolicator::~Symbolicator() {
    if (state_->dwfl) dwfl_end(state_->dwfl);
}

Symbolicator::ImageStatus Symbolicator::status(std::size_t imageIndex) const { return state_->statuses.at(imageIndex); }

Symbolicator::Frame Symbolicator::resolve(std::uint64_t pc, bool returnAddress) const {
    Frame frame;
    frame.pc = pc;
    if (const CrashReportBinaryImageInfo* image = report_.imageForAddress(pc))
        frame.image = std::filesystem::path(image->imageName).filename().string();
    if (!state_->dwfl || pc == 0) return frame;
    const Dwarf_Addr address = returnAddress ? pc - 1 : pc;
    Dwfl_Module* module = dwfl_addrmodule(state_->dwfl, address);
    if (!module) return frame;
    GElf_Off offset = 0;
    GElf_Sym symbol;
    if (const char* name = dwfl_module_addrinfo(module, address, &offset, &symbol, nullptr, nullptr, nullptr)) {
        frame.function = demangle(name);
        frame.functionOffset = pc - (address - offset);
    }
    if (Dwfl_Line* line = dwfl_module_getsrc(module, address)) {
        int number = 0;
        if (const char* file = dwfl_lineinfo(line, nullptr, &number, nullptr, nullptr, nullptr)) {
            frame.file = file;
            frame.line = number;
        }
    }
    return frame;
}

std::string symbolicatedReportText(const CrashReport& report) {
    Symbolicator symbolicator(report);
    std::ostringstream out;
    char number[64];
    auto frameLine = [&](std::size_t index, const CrashReportStackFrameInfo& info, bool returnAddress) {
        const Symbolicator::Frame frame = symbolicator.resolve(info.instructionPointer, returnAddress);
        std::snprintf(number, sizeof number, "  #%-3zu 0x%016llx ", index, static_cast<unsigned long long>(frame.pc));
        out << number << frame.image.value_or("???");
        if (frame.function) out << ' ' << *frame.function << " + " << frame.functionOffset;
        if (frame.file) out << " (" << *frame.file << ':' << frame.line << ')';
        out << '\n';
    };
    for (const CrashReportThreadInfo& thread : report.threads()) {
        out << "Thread " << thread.threadNumber << (thread.crashed ? " (crashed)" : "") << '\n';
        for (std::size_t index = 0; index < thread.stackFrames.size(); ++index)
            frameLine(index, thread.stackFrames[index], index > 0);
    }
    if (const auto& exception = report.exceptionInfo()) {
        out << "Exception " << exception->exceptionName << ": " << exception->exceptionReason << '\n';
        for (std::size_t index = 0; index < exception->stackFrames.size(); ++index)
            frameLine(index, exception->stackFrames[index], true);
    }
    const CrashReportSignalInfo& signal = report.signalInfo();
    std::snprintf(number, sizeof number, "0x%llx", static_cast<unsigned long long>(signal.address));
    out << "Signal " << signal.name << " (" << signal.code << ") at " << number << '\n';
    out << "Binary images\n";
    for (std::size_t index = 0; index < report.images().size(); ++index) {
        const CrashReportBinaryImageInfo& image = report.images()[index];
        std::snprintf(number, sizeof number, "  0x%016llx - 0x%016llx ",
                      static_cast<unsigned long long>(image.imageBaseAddress),
                      static_cast<unsigned long long>(image.imageBaseAddress + image.imageSize));
        out << number << image.imageName;
        if (image.hasImageUUID) out << " <" << hex(image.imageUUID) << '>';
        switch (symbolicator.status(index)) {
        case Symbolicator::ImageStatus::Resolved: out << " resolved"; break;
        case Symbolicator::ImageStatus::NoBuildId: out << " unresolved: no build-id"; break;
        case Symbolicator::ImageStatus::NotFound: out << " unresolved: file not found"; break;
        case Symbolicator::ImageStatus::BuildIdDiffers: out << " unresolved: another build"; break;
        }
        out << '\n';
    }
    return out.str();
}

} // namespace crashcapture
