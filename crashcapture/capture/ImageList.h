#pragma once

#include "crashcapture/capture/FaultGuard.h"

#include <cstddef>
#include <cstdint>

namespace crashcapture::capture {

// One loaded ELF object, read from the dynamic linker's list.
struct LoadedImage {
    std::uintptr_t base = 0; // lowest mapped address of its segments
    std::uint64_t size = 0;
    const char* path = nullptr; // the linker's string (not copied)
    std::size_t pathLength = 0;
    std::uint8_t uuid[16] = {}; // the first 16 bytes of the GNU build-id
    bool hasUuid = false;
    std::uint64_t cpuType = 0;
    std::uint64_t cpuSubtype = 0;
    bool hasCpuType = false;
    std::uintptr_t bias = 0;              // load bias (link_map l_addr)
    const void* dynamicSection = nullptr; // link_map l_ld
};

// Walks the dynamic linker's link_map list without its lock (the crashed
// thread or a stopped one may hold it), every read guarded. Calls
// visit(image) for each readable image; the main program gets `mainPath`.
class ImageList {
public:
    ImageList(FaultGuard& guard, std::uintptr_t mainProgramHeaders, std::size_t mainProgramHeaderCount,
              const char* mainPath, std::size_t mainPathLength)
        : guard_(guard), mainHeaders_(mainProgramHeaders), mainHeaderCount_(mainProgramHeaderCount),
          mainPath_(mainPath), mainPathLength_(mainPathLength) {}

    template <class Visit> void forEach(Visit&& visit) {
        const void* entry = first();
        for (std::size_t guardCount = 0; entry && guardCount < 4096; ++guardCount) {
            LoadedImage image;
            const void* next = nullptr;
            if (!read(entry, image, next)) break;
            if (image.size > 0) visit(image);
            entry = next;
        }
    }

private:
    const void* first();
    bool read(const void* entry, LoadedImage& image, const void*& next);
    void describe(std::uintptr_t bias, const void* headers, std::size_t count, LoadedImage& image);

    FaultGuard& guard_;
    std::uintptr_t mainHeaders_;
    std::size_t mainHeaderCount_;
    const char* mainPath_;
    std::size_t mainPathLength_;
};

} // namespace crashcapture::capture
