#pragma once

#include "crashcapture/report/CrashReportProcessorInfo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace crashcapture {

// One image (executable or shared library) loaded in the crashed process.
struct CrashReportBinaryImageInfo {
    std::optional<CrashReportProcessorInfo> codeType;
    std::uint64_t imageBaseAddress = 0;
    std::uint64_t imageSize = 0;
    std::string imageName; // the image's path
    bool hasImageUUID = false;
    std::vector<std::uint8_t> imageUUID; // raw bytes as recorded

    // Whether `address` lies in [base, base + size). Written so that an image
    // that reaches the top of the address space does not wrap around.
    bool contains(std::uint64_t address) const {
        return address >= imageBaseAddress && address - imageBaseAddress < imageSize;
    }

    bool operator==(const CrashReportBinaryImageInfo&) const = default;
};

} // namespace crashcapture
