#include "crashcapture/tools/CrashReportJson.h"

#include "beacon/util/TextUtility.h"

#include <cstdio>

namespace crashcapture {

namespace {

using Json = nlohmann::ordered_json;

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string uuidText(const std::array<std::uint8_t, 16>& b) {
    std::string text = beacon::hexText(b);
    for (std::size_t dash : {20u, 16u, 12u, 8u}) text.insert(dash, "-");
    return text;
}

std::string dateText(std::chrono::sys_seconds time) {
    // Only years 0000-9999 have this form; others (a damaged report) show the count.
    const auto seconds = time.time_since_epoch().count();
    if (seconds < -62167219200 || seconds > 253402300799) return std::to_string(seconds) + " s since 1970";
    auto days = std::chrono::floor<std::chrono::days>(time);
    std::chrono::year_month_day ymd(days);
    std::chrono::hh_mm_ss hms(time - days);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<long long>(hms.hours().count()), static_cast<long long>(hms.minutes().count()),
                  static_cast<long long>(hms.seconds().count()));
    return text;
}

template <typename T> void putOptional(Json& json, const char* key, const std::optional<T>& value) {
    if (value) json[key] = *value;
}

Json processor(const CrashReportProcessorInfo& info) {
    return Json{{"typeEncoding", static_cast<int>(info.typeEncoding)}, {"type", info.type}, {"subtype", info.subtype}};
}

Json frames(const std::vector<CrashReportStackFrameInfo>& frames) {
    Json array = Json::array();
    for (const auto& frame : frames) {
        Json json{{"instructionPointer", hex(frame.instructionPointer)}};
        if (frame.symbolInfo) {
            json["symbolInfo"] = Json{{"symbolName", frame.symbolInfo->symbolName},
                                      {"startAddress", hex(frame.symbolInfo->startAddress)},
                                      {"endAddress", hex(frame.symbolInfo->endAddress)}};
        }
        array.push_back(std::move(json));
    }
    return array;
}

} // namespace

Json crashReportToJson(const CrashReport& report) {
    Json json = Json::object();
    if (report.uuidRef()) json["uuidRef"] = uuidText(*report.uuidRef());

    const auto& system = report.systemInfo();
    Json systemJson{{"operatingSystem", static_cast<int>(system.operatingSystem)},
                    {"operatingSystemVersion", system.operatingSystemVersion}};
    putOptional(systemJson, "operatingSystemBuild", system.operatingSystemBuild);
    systemJson["architecture"] = static_cast<int>(system.architecture);
    if (system.timestamp) systemJson["timestamp"] = dateText(*system.timestamp);
    systemJson["processorInfo"] = processor(system.processorInfo);
    json["systemInfo"] = std::move(systemJson);

    if (const auto& machine = report.machineInfo()) {
        Json machineJson = Json::object();
        putOptional(machineJson, "modelName", machine->modelName);
        machineJson["processorInfo"] = processor(machine->processorInfo);
        machineJson["processorCount"] = machine->processorCount;
        machineJson["logicalProcessorCount"] = machine->logicalProcessorCount;
        json["machineInfo"] = std::move(machineJson);
    }

    const auto& application = report.applicationInfo();
    Json applicationJson{{"applicationIdentifier", application.applicationIdentifier},
                         {"applicationVersion", application.applicationVersion}};
    putOptional(applicationJson, "applicationMarketingVersion", application.applicationMarketingVersion);
    json["applicationInfo"] = std::move(applicationJson);

    if (const auto& process = report.processInfo()) {
        Json processJson = Json::object();
        putOptional(processJson, "processName", process->processName);
        processJson["processID"] = process->processID;
        putOptional(processJson, "processPath", process->processPath);
        if (process->processStartTime) processJson["processStartTime"] = dateText(*process->processStartTime);
        putOptional(processJson, "parentProcessName", process->parentProcessName);
        processJson["parentProcessID"] = process->parentProcessID;
        processJson["native"] = process->native;
        json["processInfo"] = std::move(processJson);
    }

    const auto& signal = report.signalInfo();
    json["signalInfo"] = Json{{"name", signal.name}, {"code", signal.code}, {"address", hex(signal.address)}};
    if (const auto& mach = report.machExceptionInfo()) {
        Json codes = Json::array();
        for (auto code : mach->codes) codes.push_back(hex(code));
        json["machExceptionInfo"] = Json{{"type", mach->type}, {"codes", std::move(codes)}};
    }

    Json threads = Json::array();
    for (const auto& thread : report.threads()) {
        Json registers = Json::array();
        for (const auto& reg : thread.registers)
            registers.push_back(Json{{"registerName", reg.registerName}, {"registerValue", hex(reg.registerValue)}});
        threads.push_back(Json{{"threadNumber", thread.threadNumber},
                               {"crashed", thread.crashed},
                               {"stackFrames", frames(thread.stackFrames)},
                               {"registers", std::move(registers)}});
    }
    json["threads"] = std::move(threads);

    Json images = Json::array();
    for (const auto& image : report.images()) {
        Json imageJson{{"imageBaseAddress", hex(image.imageBaseAddress)},
                       {"imageSize", hex(image.imageSize)},
                       {"imageName", image.imageName},
                       {"hasImageUUID", image.hasImageUUID}};
        if (image.hasImageUUID) imageJson["imageUUID"] = beacon::hexText(image.imageUUID);
        if (image.codeType) imageJson["codeType"] = processor(*image.codeType);
        images.push_back(std::move(imageJson));
    }
    json["images"] = std::move(images);

    if (const auto& exception = report.exceptionInfo()) {
        json["exceptionInfo"] = Json{{"exceptionName", exception->exceptionName},
                                     {"exceptionReason", exception->exceptionReason},
                                     {"stackFrames", frames(exception->stackFrames)}};
    }
    if (const auto& data = report.customData()) json["customData"] = beacon::hexText(*data);
    return json;
}

} // namespace crashcapture
