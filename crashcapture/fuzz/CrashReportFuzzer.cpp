// libFuzzer entry: the whole path a crash report file takes, from bytes to
// the error-log JSON that is sent and to the viewer's JSON of the report.
// Report files are left on disk by a crashed run and read at the next start,
// so anything malformed must be rejected, and anything accepted converted,
// without crashing, hanging, leaking or reading out of bounds.
//
// What is instrumented (coverage feedback, ASan and UBSan checks): the
// reader, the error-log formatter, the path anonymiser, the report's JSON
// form and the generated zvcrash.pb-c.c message tables, all compiled by
// clang into this program. Not instrumented: the system protobuf-c library
// (its decoder runs, but unguided and unchecked by the sanitizers) and the
// rest of the telemetry library (log model, JSON text, logger), which comes
// from the g++ build through a shared library: crashes, aborts and stack
// overflows there are caught, wrong memory accesses that do not crash are
// not.
//
// The report's header is prepended to most inputs so that the fuzzer spends
// its time in the decoder and everything behind it.
#include "beacon/crashes/formatter/ErrorLogFormatter.h"
#include "crashcapture/report/CrashReport.h"
#include "crashcapture/report/Utf8Text.h"
#include "crashcapture/tools/CrashReportJson.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void checkText(const std::string& text) { check(crashcapture::validUtf8(text) == text); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A device history as the tracker keeps it, so that a converted log can
    // be checked for validity as a whole.
    auto recorded = std::make_shared<beacon::Device>();
    recorded->sdkName = "beacon.linux";
    recorded->sdkVersion = "1.0.0";
    recorded->osName = "Linux";
    recorded->osVersion = "6.1.0";
    recorded->locale = "en_US";
    recorded->timeZoneOffset = 0;
    recorded->appVersion = "1.0";
    recorded->appBuild = "1";
    beacon::ErrorLogFormatter::setDeviceLookup([recorded](std::optional<beacon::Date>) { return recorded; });
    return 0;
}

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
        check(error.code == 2 && !error.localizedDescription.empty());
        return 0;
    }
    // The reader's promises: valid UTF-8, bounded lists.
    checkText(report->signalInfo().name);
    checkText(report->signalInfo().code);
    checkText(report->applicationInfo().applicationIdentifier);
    check(report->threads().size() <= CrashReport::kMaxThreads);
    check(report->images().size() <= CrashReport::kMaxImages);
    for (const auto& thread : report->threads()) check(thread.stackFrames.size() <= CrashReport::kMaxFramesPerThread);
    if (report->machExceptionInfo()) check(report->machExceptionInfo()->codes.size() <= 255);

    // The error log that would be sent: valid once the channel has stamped a
    // log without time (a report without a usable crash time), serialized,
    // and readable JSON.
    auto log = beacon::ErrorLogFormatter::errorLogFromCrashReport(*report);
    if (!log->timestamp) log->timestamp = beacon::Date{};
    check(!log->validationError());
    const auto text = log->serializeLog(false);
    check(text.has_value() && !text->empty());
    check(!nlohmann::json::parse(*text, nullptr, false).is_discarded());
    check(beacon::ErrorLogFormatter::errorReportFromLog(*log)->incidentIdentifier == log->errorId);

    // The viewer's form of the report.
    const auto json = crashcapture::crashReportToJson(*report);
    check(!json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::strict).empty());
    return 0;
}
