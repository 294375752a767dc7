#include "CrashTestSupport.h"

#include "crashcapture/symbolicate/Symbolicator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace crashcapture::testing {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> functionsOf(const CrashReport& report, const CrashReportThreadInfo& thread) {
    Symbolicator symbolicator(report);
    std::vector<std::string> names;
    for (std::size_t index = 0; index < thread.stackFrames.size(); ++index) {
        auto frame = symbolicator.resolve(thread.stackFrames[index].instructionPointer, index > 0);
        names.push_back(frame.function.value_or("?"));
    }
    return names;
}

} // namespace crashcapture::testing
