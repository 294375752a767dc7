#include "crashcapture/capture/ImageList.h"

#include "crashcapture/capture/WriterState.h"

#include <cstring>
#include <elf.h>
#include <link.h>

namespace crashcapture::capture {

namespace {

constexpr std::size_t kMaxPath = 4096;
constexpr std::size_t kMaxNotes = 64 * 1024;

std::size_t align4(std::size_t value) { return (value + 3) & ~std::size_t{3}; }

} // namespace

const void* ImageList::first() {
    const void* map = nullptr;
    if (!guard_.read(&map, &_r_debug.r_map, sizeof map)) return nullptr;
    return map;
}

bool ImageList::read(const void* entry, LoadedImage& image, const void*& next) {
    link_map map{};
    if (!guard_.read(&map, entry, sizeof map)) return false;
    next = map.l_next;
    image.bias = map.l_addr;
    image.dynamicSection = map.l_ld;

    std::size_t nameLength = 0;
    const bool named = map.l_name && guard_.guarded([&] {
        while (nameLength < kMaxPath && map.l_name[nameLength] != '\0') ++nameLength;
    });
    const bool mainProgram = !named || nameLength == 0;
    if (mainProgram) {
        // The main program is the list's first entry and has no name.
        if (entry != first() || !mainHeaders_) return true;
        image.path = mainPath_;
        image.pathLength = mainPathLength_;
        describe(map.l_addr, reinterpret_cast<const void*>(mainHeaders_), mainHeaderCount_, image);
        return true;
    }
    image.path = map.l_name;
    image.pathLength = nameLength;
    // A shared object's ELF header lies at its load bias (its first segment
    // starts at address 0).
    ElfW(Ehdr) header{};
    if (!guard_.read(&header, reinterpret_cast<const void*>(map.l_addr), sizeof header)) return true;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_phentsize != sizeof(ElfW(Phdr))) return true;
    processorForElfMachine(header.e_machine, image.cpuType, image.cpuSubtype);
    image.hasCpuType = image.cpuType != 0;
    describe(map.l_addr, reinterpret_cast<const void*>(map.l_addr + header.e_phoff), header.e_phnum, image);
    return true;
}

void ImageList::describe(std::uintptr_t bias, const void* headers, std::size_t count, LoadedImage& image) {
    std::uintptr_t low = UINTPTR_MAX;
    std::uintptr_t high = 0;
    const auto* phdrs = static_cast<const ElfW(Phdr)*>(headers);
    for (std::size_t index = 0; index < count && index < 256; ++index) {
        ElfW(Phdr) segment{};
        if (!guard_.read(&segment, &phdrs[index], sizeof segment)) return;
        if (segment.p_type == PT_LOAD) {
            const std::uintptr_t start = (bias + segment.p_vaddr) & ~std::uintptr_t{0xFFF};
            const std::uintptr_t end = bias + segment.p_vaddr + segment.p_memsz;
            if (start < low) low = start;
            if (end > high) high = end;
        } else if (segment.p_type == PT_NOTE && !image.hasUuid) {
            const auto* notes = reinterpret_cast<const std::uint8_t*>(bias + segment.p_vaddr);
            const std::size_t size = segment.p_memsz < kMaxNotes ? segment.p_memsz : kMaxNotes;
            for (std::size_t offset = 0; offset + sizeof(ElfW(Nhdr)) <= size;) {
                ElfW(Nhdr) note{};
                if (!guard_.read(&note, notes + offset, sizeof note)) break;
                const std::size_t nameAt = offset + sizeof note;
                const std::size_t descAt = nameAt + align4(note.n_namesz);
                if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && descAt + note.n_descsz <= size) {
                    char name[4];
                    if (guard_.read(name, notes + nameAt, 4) && std::memcmp(name, "GNU", 4) == 0) {
                        const std::size_t copied = note.n_descsz < 16 ? note.n_descsz : 16;
                        if (guard_.read(image.uuid, notes + descAt, copied)) image.hasUuid = copied > 0;
                        break;
                    }
                }
                offset = descAt + align4(note.n_descsz);
            }
        }
    }
    if (high > low) {
        image.base = low;
        image.size = high - low;
    }
    if (!image.hasCpuType && image.path == mainPath_) {
        // The main program's header: at its first segment.
        ElfW(Ehdr) header{};
        if (guard_.read(&header, reinterpret_cast<const void*>(low), sizeof header) &&
            std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0) {
            processorForElfMachine(header.e_machine, image.cpuType, image.cpuSubtype);
            image.hasCpuType = image.cpuType != 0;
        }
    }
}

} // namespace crashcapture::capture
