// Decodes the same report bytes with the reader and with Google's protoc
// (`protoc --decode=zvcrash.CrashReport`), an implementation of the wire
// format independent of protobuf-c, and compares what both found.
#include "ReportBuilder.h"
#include "crashcapture/report/CrashReport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace crashcapture {
namespace {

using testing::ReportBuilder;
namespace fs = std::filesystem;

// Field path ("threads.frames.pc") → every value found under it, in order.
using Fields = std::map<std::string, std::vector<std::string>>;

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

// Reads protoc's text format: "name {" opens a message, "}" closes it,
// "name: value" is a field.
Fields parseTextFormat(const std::string& text) {
    Fields fields;
    std::vector<std::string> path;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        line.erase(0, line.find_first_not_of(' '));
        if (line.empty()) continue;
        if (line == "}") {
            path.pop_back();
            continue;
        }
        if (line.size() > 2 && line.ends_with(" {")) {
            path.push_back(line.substr(0, line.size() - 2));
            continue;
        }
        auto colon = line.find(": ");
        if (colon == std::string::npos) continue;
        std::string key;
        for (const auto& part : path) key += part + ".";
        fields[key + line.substr(0, colon)].push_back(unquote(line.substr(colon + 2)));
    }
    return fields;
}

Fields decodeWithProtoc(const std::vector<std::uint8_t>& file) {
    char pattern[] = "/tmp/zelvo-protoc-XXXXXX";
    int fd = ::mkstemp(pattern);
    EXPECT_GE(fd, 0);
    ::close(fd);
    std::ofstream(pattern, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()) + CrashReport::kHeaderSize,
               file.size() - CrashReport::kHeaderSize);
    fs::path proto(ZVCRASH_PROTO_FILE);
    std::string command = std::string(PROTOC_EXECUTABLE) + " --decode=zvcrash.CrashReport -I" +
                          proto.parent_path().string() + " " + proto.filename().string() + " < " + pattern;
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        EXPECT_EQ(::pclose(pipe), 0) << command;
    }
    fs::remove(pattern);
    return parseTextFormat(output);
}

void expectAgreement(const ReportBuilder& builder) {
    auto file = builder.file();
    auto report = CrashReport::initWithData(file);
    ASSERT_TRUE(report.has_value());
    Fields p = decodeWithProtoc(file);
    auto n = [](auto v) { return std::to_string(v); };

    EXPECT_EQ(p["system_info.os_version"], std::vector{report->systemInfo().operatingSystemVersion});
    EXPECT_EQ(p["system_info.timestamp"], std::vector{n(report->systemInfo().timestamp->time_since_epoch().count())});
    EXPECT_EQ(p["system_info.architecture"], std::vector<std::string>{"X86_64"});
    EXPECT_EQ(p["application_info.identifier"], std::vector{report->applicationInfo().applicationIdentifier});
    EXPECT_EQ(p["application_info.version"], std::vector{report->applicationInfo().applicationVersion});
    EXPECT_EQ(p["process_info.process_id"], std::vector{n(report->processInfo()->processID)});
    EXPECT_EQ(p["process_info.process_path"], std::vector{*report->processInfo()->processPath});
    EXPECT_EQ(p["machine_info.processor.type"], std::vector{n(report->machineInfo()->processorInfo.type)});
    EXPECT_EQ(p["signal.name"], std::vector{report->signalInfo().name});
    EXPECT_EQ(p["signal.code"], std::vector{report->signalInfo().code});
    EXPECT_EQ(p["signal.address"], std::vector{n(report->signalInfo().address)});
    EXPECT_EQ(p["report_info.uuid"], std::vector{std::string(report->uuidRef()->begin(), report->uuidRef()->end())});

    std::vector<std::string> threadNumbers, pcs, symbols, registers;
    for (const auto& thread : report->threads()) {
        threadNumbers.push_back(n(thread.threadNumber));
        for (const auto& frame : thread.stackFrames) {
            pcs.push_back(n(frame.instructionPointer));
            if (frame.symbolInfo) symbols.push_back(frame.symbolInfo->symbolName);
        }
        for (const auto& reg : thread.registers) registers.push_back(reg.registerName + "=" + n(reg.registerValue));
    }
    EXPECT_EQ(p["threads.thread_number"], threadNumbers);
    EXPECT_EQ(p["threads.frames.pc"], pcs);
    EXPECT_EQ(p["threads.frames.symbol.name"], symbols);
    std::vector<std::string> protocRegisters;
    for (std::size_t i = 0; i < p["threads.registers.name"].size(); ++i)
        protocRegisters.push_back(p["threads.registers.name"][i] + "=" + p["threads.registers.value"][i]);
    EXPECT_EQ(protocRegisters, registers);

    std::vector<std::string> bases, sizes, names;
    for (const auto& image : report->images()) {
        bases.push_back(n(image.imageBaseAddress));
        sizes.push_back(n(image.imageSize));
        names.push_back(image.imageName);
    }
    EXPECT_EQ(p["binary_images.base_address"], bases);
    EXPECT_EQ(p["binary_images.size"], sizes);
    EXPECT_EQ(p["binary_images.name"], names);

    if (report->exceptionInfo()) {
        EXPECT_EQ(p["exception.name"], std::vector{report->exceptionInfo()->exceptionName});
        EXPECT_EQ(p["exception.reason"], std::vector{report->exceptionInfo()->exceptionReason});
        EXPECT_EQ(p["exception.frames.pc"].size(), report->exceptionInfo()->stackFrames.size());
    }
    if (report->machExceptionInfo()) {
        std::vector<std::string> codes;
        for (auto code : report->machExceptionInfo()->codes) codes.push_back(n(code));
        EXPECT_EQ(p["signal.mach_exception.codes"], codes);
    }
    if (report->customData()) {
        EXPECT_EQ(p["custom_data"],
                  std::vector{std::string(report->customData()->begin(), report->customData()->end())});
    }
}

TEST(ProtocAgreement, ReaderAndProtocSeeTheSameReport) {
    ReportBuilder plain;
    expectAgreement(plain);

    ReportBuilder rich;
    rich.setException("std::out_of_range", "vector::_M_range_check: __n (which is 7) >= this->size() (which is 3)",
                      {{0x7ffff7e5a4a1}, {ReportBuilder::kExecutableBase + 0x4711}});
    rich.setMachException(1, 3);
    rich.setCustomData("user=\"alice\"\n\x01\x02");
    rich.addThread(7, false, {{~0ull - 1, "máquina", 0x10}}, {{"r15", ~0ull}});
    rich.addImage(0, ~0ull, "/usr/lib/libß.so");
    expectAgreement(rich);
}

} // namespace
} // namespace crashcapture
