// libFuzzer entry: feeds arbitrary bytes to the crash report reader, which
// reads files left on disk by an earlier run and must reject anything
// malformed without crashing, leaking or reading out of bounds. The report's
// header is prepended to most inputs so that the fuzzer spends its time in
// the message decoder and the checks behind it.
#include "crashcapture/report/CrashReport.h"
#include "crashcapture/report/Utf8Text.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using crashcapture::CrashReport;
    crashcapture::CrashReporterError error;

    std::vector<std::uint8_t> file(data, data + size);
    if (size > 0 && data[0] != 'z') {
        static const std::uint8_t header[] = {'z', 'v', 'c', 'r', 'a', 's', 'h', 1};
        file.insert(file.begin(), std::begin(header), std::end(header));
    }

    auto report = CrashReport::initWithData(file, &error);
    if (!report) {
        if (error.code != 2 || error.localizedDescription.empty()) __builtin_trap();
        return 0;
    }
    // Every string of the model must be valid UTF-8.
    auto checkText = [](const std::string& text) {
        if (crashcapture::validUtf8(text) != text) __builtin_trap();
    };
    checkText(report->signalInfo().name);
    checkText(report->signalInfo().code);
    checkText(report->applicationInfo().applicationIdentifier);
    // Walk the whole model the way the error-log formatter does.
    std::uint64_t sum = report->signalInfo().address;
    for (const auto& thread : report->threads()) {
        for (const auto& frame : thread.stackFrames) {
            if (const auto* image = report->imageForAddress(frame.instructionPointer)) sum += image->imageSize;
            if (frame.symbolInfo) checkText(frame.symbolInfo->symbolName);
        }
        for (const auto& reg : thread.registers) sum += reg.registerName.size() + reg.registerValue;
    }
    for (const auto& image : report->images()) {
        checkText(image.imageName);
        sum += image.imageUUID.size();
    }
    if (report->exceptionInfo()) sum += report->exceptionInfo()->stackFrames.size();
    if (report->machExceptionInfo() && report->machExceptionInfo()->codes.size() > 255) __builtin_trap();
    if (report->uuidRef()) sum += (*report->uuidRef())[15];
    volatile std::uint64_t sink = sum;
    (void)sink;
    return 0;
}
