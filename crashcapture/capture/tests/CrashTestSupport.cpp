#include "CrashTestSupport.h"

#include "crashcapture/symbolicate/Symbolicator.h"

#include <gtest/gtest.h>

#include <algorithm>
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

bool mentions(const std::vector<std::string>& functions, const std::string& name) {
    return std::any_of(functions.begin(), functions.end(),
                       [&](const std::string& f) { return f.find(name) != std::string::npos; });
}

const CrashReportThreadInfo* crashedThread(const CrashReport& report) {
    const CrashReportThreadInfo* crashed = nullptr;
    for (const auto& thread : report.threads())
        if (thread.crashed) {
            EXPECT_EQ(crashed, nullptr) << "more than one crashed thread";
            crashed = &thread;
        }
    return crashed;
}

} // namespace crashcapture::testing
