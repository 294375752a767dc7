#include "CrashTestSupport.h"

#include "crashcapture/symbolicate/Symbolicator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace crashcapture::testing {

namespace fs = std::filesystem;

TemporaryDirectory::TemporaryDirectory() {
    char pattern[] = "/tmp/zelvo-crash-XXXXXX";
    if (::mkdtemp(pattern)) path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
}

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ProtocFields decodeWithProtoc(const std::vector<std::uint8_t>& file) {
    TemporaryDirectory directory;
    const fs::path message = directory.path() / "message";
    std::ofstream(message, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()) + CrashReport::kHeaderSize,
               static_cast<std::streamsize>(file.size() - CrashReport::kHeaderSize));
    const fs::path proto(ZVCRASH_PROTO_FILE);
    const std::string command = std::string(PROTOC_EXECUTABLE) + " --decode=zvcrash.CrashReport -I" +
                                proto.parent_path().string() + " " + proto.filename().string() + " < " +
                                message.string();
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        EXPECT_EQ(::pclose(pipe), 0) << command;
    }
    // "name {" opens a message, "}" closes it, "name: value" is a field.
    ProtocFields fields;
    std::vector<std::string> path;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        line.erase(0, line.find_first_not_of(' '));
        if (line == "}") {
            path.pop_back();
        } else if (line.size() > 2 && line.ends_with(" {")) {
            path.push_back(line.substr(0, line.size() - 2));
        } else if (auto colon = line.find(": "); colon != std::string::npos) {
            std::string key;
            for (const auto& part : path) key += part + ".";
            fields[key + line.substr(0, colon)].push_back(line.substr(colon + 2));
        }
    }
    return fields;
}

ProtocFields fieldsOf(const CrashReport& report) {
    auto quoted = [](const std::string& text) { return '"' + text + '"'; };
    ProtocFields fields;
    fields["signal.name"].push_back(quoted(report.signalInfo().name));
    fields["signal.code"].push_back(quoted(report.signalInfo().code));
    fields["signal.address"].push_back(std::to_string(report.signalInfo().address));
    for (const auto& thread : report.threads()) {
        fields["threads.thread_number"].push_back(std::to_string(thread.threadNumber));
        fields["threads.crashed"].push_back(thread.crashed ? "true" : "false");
        for (const auto& frame : thread.stackFrames)
            fields["threads.frames.pc"].push_back(std::to_string(frame.instructionPointer));
        for (const auto& reg : thread.registers)
            fields["threads.registers.value"].push_back(std::to_string(reg.registerValue));
    }
    for (const auto& image : report.images()) {
        fields["binary_images.base_address"].push_back(std::to_string(image.imageBaseAddress));
        fields["binary_images.size"].push_back(std::to_string(image.imageSize));
        fields["binary_images.name"].push_back(quoted(image.imageName));
    }
    fields["application_info.identifier"].push_back(quoted(report.applicationInfo().applicationIdentifier));
    if (report.processInfo())
        fields["process_info.process_id"].push_back(std::to_string(report.processInfo()->processID));
    return fields;
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
