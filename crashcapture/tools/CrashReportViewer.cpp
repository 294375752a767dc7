// zelvo-crashreport: shows a crash report file as JSON.
//
//   zelvo-crashreport FILE            the error log that would be sent for it
//   zelvo-crashreport --report FILE   the report as read (object model)
//   zelvo-crashreport --symbolicate FILE
//                                     threads and images as text, resolved to
//                                     functions and source lines with the
//                                     matching builds found on this machine
//   zelvo-crashreport --help | --version
//
// Exit status: 0 shown; 2 the file is not a readable crash report (the
// reader's reason on stderr); 64 wrong usage; 66 the file cannot be opened.
#include "beacon/crashes/formatter/ErrorLogFormatter.h"
#include "beacon/model/JsonText.h"
#include "crashcapture/report/CrashReport.h"
#include "crashcapture/report/ReportFile.h"
#include "crashcapture/symbolicate/Symbolicator.h"
#include "crashcapture/tools/CrashReportJson.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitBadReport = 2;
constexpr int kExitUsage = 64;
constexpr int kExitNoInput = 66;
constexpr const char* kUsage = "usage: zelvo-crashreport [--report] FILE\n"
                               "       zelvo-crashreport --symbolicate FILE\n"
                               "       zelvo-crashreport --help | --version";
constexpr const char* kHelp = R"(
Shows a Zelvo crash report file as JSON: the error log that is sent for it,
or with --report the report as read. With --symbolicate it prints the threads
and images as text, resolved to function names and source lines where the
matching build is on this machine. FILE "-" reads standard input.

Options:
  --report         print the report as read
  --symbolicate    print the report resolved to functions and source lines
  -h, --help       show this help and exit
  -V, --version    show the version and exit

Exit status: 0 shown; 2 not a valid crash report (the reason on stderr);
64 wrong usage; 66 the file cannot be opened.
)";

void printJson(const nlohmann::ordered_json& json) {
    if (auto text = beacon::jsonText(json, true)) {
        std::cout << *text << '\n';
    } else {
        std::cout << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    }
}

} // namespace

int main(int argc, char** argv) {
    bool showReport = false;
    bool symbolicate = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--report") {
            showReport = true;
        } else if (argument == "--symbolicate") {
            symbolicate = true;
        } else if (argument == "-h" || argument == "--help") {
            std::cout << kUsage << '\n' << kHelp;
            return 0;
        } else if (argument == "-V" || argument == "--version") {
            std::cout << "zelvo-crashreport " << ZELVO_VERSION << '\n';
            return 0;
        } else if (argument.starts_with("-") && argument != "-") {
            std::cerr << "zelvo-crashreport: unknown option " << argument << '\n' << kUsage << '\n';
            return kExitUsage;
        } else if (path) {
            std::cerr << kUsage << '\n';
            return kExitUsage;
        } else {
            path = argv[i];
        }
    }
    if (!path) {
        std::cerr << kUsage << '\n';
        return kExitUsage;
    }

    // Bounded reads: a device, a pipe that never ends or a huge file is
    // refused instead of being read forever.
    crashcapture::CrashReporterError readError;
    const auto data = std::string_view(path) == "-" ? crashcapture::readReportStream(0, "-", &readError)
                                                    : crashcapture::readReportFile(path, &readError);
    if (!data) {
        std::cerr << "zelvo-crashreport: " << readError.localizedDescription << '\n';
        return kExitNoInput;
    }

    crashcapture::CrashReporterError error;
    auto report = crashcapture::CrashReport::initWithData(*data, &error);
    if (!report) {
        std::cerr << error.localizedDescription << '\n';
        return kExitBadReport;
    }
    if (symbolicate) {
        std::cout << crashcapture::symbolicatedReportText(*report);
        return 0;
    }
    // The viewer may run anywhere: it knows no device history, so the error
    // log's device holds what the report itself records.
    beacon::ErrorLogFormatter::setDeviceLookup(
        [](std::optional<beacon::Date>) { return std::shared_ptr<beacon::Device>(); });
    if (showReport) {
        printJson(crashcapture::crashReportToJson(*report));
    } else {
        printJson(beacon::ErrorLogFormatter::errorLogFromCrashReport(*report)->serializeToDictionary());
    }
    return 0;
}
