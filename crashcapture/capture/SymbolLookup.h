#pragma once

#include "crashcapture/capture/ImageList.h"

#include <cstddef>
#include <cstdint>

namespace crashcapture::capture {

// The exported function of a loaded image that holds an address, found in
// the image's dynamic symbol table (the symbols present in memory). Every
// read is guarded; no allocation.
struct FoundSymbol {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    char name[256];
    std::size_t nameLength = 0;
};

bool findDynamicSymbol(FaultGuard& guard, const LoadedImage& image, std::uintptr_t address, FoundSymbol& found);

} // namespace crashcapture::capture
