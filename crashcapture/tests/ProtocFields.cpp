#include "ProtocFields.h"
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace crashcapture::testing {
namespace {

std::string unquote(const std::string& text) {
    if (text.size() < 2 || text.front() != '"') return text;
    std::string out;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        char c = text[++i];
        if (c >= '0' && c <= '7') {
            int value = 0, digits = 0;
            while (digits < 3 && i < text.size() - 1 && text[i] >= '0' && text[i] <= '7')
                value = value * 8 + (text[i++] - '0'), ++digits;
            --i;
            out += static_cast<char>(value);
        } else {
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        }
    }
    return out;
}

} // namespace

ProtocFields decodeWithProtoc(const std::vector<std::uint8_t>& file) {
    const zelvo::testing::TemporaryFolder dir;
    const auto body = dir.path / "report.bin";
    std::ofstream(body, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()) + CrashReport::kHeaderSize,
               static_cast<std::streamsize>(file.size() - CrashReport::kHeaderSize));
    const std::filesystem::path proto(ZVCRASH_PROTO_FILE);
    const std::string command = std::string(PROTOC_EXECUTABLE) + " --decode=zvcrash.CrashReport -I" +
                                proto.parent_path().string() + " " + proto.filename().string() + " < " + body.string();
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
            fields[key + line.substr(0, colon)].push_back(unquote(line.substr(colon + 2)));
        }
    }
    return fields;
}

ProtocFields fieldsOf(const CrashReport& report) {
    const auto n = [](auto value) { return std::to_string(value); };
    const auto bytes = [](const auto& data) { return std::string(data.begin(), data.end()); };
    ProtocFields f;
    f["system_info.os_version"].push_back(report.systemInfo().operatingSystemVersion);
    if (report.systemInfo().timestamp)
        f["system_info.timestamp"].push_back(n(report.systemInfo().timestamp->time_since_epoch().count()));
    f["application_info.identifier"].push_back(report.applicationInfo().applicationIdentifier);
    f["application_info.version"].push_back(report.applicationInfo().applicationVersion);
    if (const auto& process = report.processInfo()) {
        f["process_info.process_id"].push_back(n(process->processID));
        if (process->processPath) f["process_info.process_path"].push_back(*process->processPath);
    }
    if (report.machineInfo()) f["machine_info.processor.type"].push_back(n(report.machineInfo()->processorInfo.type));
    f["signal.name"].push_back(report.signalInfo().name);
    f["signal.code"].push_back(report.signalInfo().code);
    f["signal.address"].push_back(n(report.signalInfo().address));
    if (report.uuidRef()) f["report_info.uuid"].push_back(bytes(*report.uuidRef()));
    for (const auto& thread : report.threads()) {
        f["threads.thread_number"].push_back(n(thread.threadNumber));
        f["threads.crashed"].push_back(thread.crashed ? "true" : "false");
        for (const auto& frame : thread.stackFrames) {
            f["threads.frames.pc"].push_back(n(frame.instructionPointer));
            if (frame.symbolInfo) f["threads.frames.symbol.name"].push_back(frame.symbolInfo->symbolName);
        }
        for (const auto& reg : thread.registers) {
            f["threads.registers.name"].push_back(reg.registerName);
            f["threads.registers.value"].push_back(n(reg.registerValue));
        }
    }
    for (const auto& image : report.images()) {
        f["binary_images.base_address"].push_back(n(image.imageBaseAddress));
        f["binary_images.size"].push_back(n(image.imageSize));
        f["binary_images.name"].push_back(image.imageName);
    }
    if (const auto& exception = report.exceptionInfo()) {
        f["exception.name"].push_back(exception->exceptionName);
        f["exception.reason"].push_back(exception->exceptionReason);
        for (const auto& frame : exception->stackFrames)
            f["exception.frames.pc"].push_back(n(frame.instructionPointer));
    }
    if (const auto& mach = report.machExceptionInfo())
        for (auto code : mach->codes) f["signal.mach_exception.codes"].push_back(n(code));
    if (report.customData()) f["custom_data"].push_back(bytes(*report.customData()));
    return f;
}

} // namespace crashcapture::testing
