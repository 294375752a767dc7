#include "beacon/crashes/model/ExceptionModel.h"

#include "beacon/crashes/model/AnonymizedPath.h"
#include "beacon/crashes/model/ModelLists.h"
#include "crashcapture/report/Utf8Text.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

#include <cstdlib>
#include <cxxabi.h>
#include <execinfo.h>
#include <typeinfo>

namespace beacon {

namespace {
constexpr const char* kType = "type";
constexpr const char* kMessage = "message";
constexpr const char* kStackTrace = "stackTrace";
constexpr const char* kFrames = "frames";
constexpr int kMaxCallStackDepth = 128;

std::vector<std::string> callStackSymbols() {
    void* addresses[kMaxCallStackDepth];
    int count = ::backtrace(addresses, kMaxCallStackDepth);
    std::vector<std::string> lines;
    if (char** symbols = ::backtrace_symbols(addresses, count)) {
        for (int i = 0; i < count; ++i) lines.emplace_back(symbols[i]);
        std::free(symbols);
    }
    return lines;
}

std::string demangled(const char* name) {
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && readable ? readable : name;
    std::free(readable);
    return result;
}

// A line of glibc's backtrace_symbols: "BINARY(SYMBOL+0xOFFSET) [0xADDRESS]",
// where the symbol, the offset or both may be missing.
std::shared_ptr<StackFrame> glibcFrame(std::string_view line) {
    if (line.empty() || line.back() != ']') return nullptr;
    const std::size_t open = line.rfind(" [0x");
    if (open == std::string_view::npos || open == 0 || line[open - 1] != ')') return nullptr;
    const std::size_t paren = line.rfind('(', open);
    if (paren == std::string_view::npos) return nullptr;
    auto frame = std::make_shared<StackFrame>();
    frame->address = std::string(line.substr(open + 2, line.size() - open - 3));
    frame->fileName = anonymized_path::inText(crashcapture::validUtf8(line.substr(0, paren)));
    const std::string_view inside = line.substr(paren + 1, open - 1 - paren - 1);
    const std::string_view symbol = inside.substr(0, inside.rfind('+'));
    if (!symbol.empty()) frame->methodName = crashcapture::validUtf8(demangled(std::string(symbol).c_str()));
    return frame;
}
} // namespace

ExceptionModel::ExceptionModel(std::string type, std::optional<std::string> exceptionMessage,
                               std::optional<std::string> stackTrace)
    : type(std::move(type)), message(std::move(exceptionMessage)), stackTrace(std::move(stackTrace)) {}

void ExceptionModel::fillFromCurrentCallStack() {
    auto lines = callStackSymbols();
    // Binary paths name the user's home folder: sent without it.
    for (auto& line : lines) line = anonymized_path::inText(crashcapture::validUtf8(line));
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    stackTrace = text;
    frames = loadStackTrace(lines);
}

std::shared_ptr<ExceptionModel> ExceptionModel::initWithError(const std::string& domain,
                                                              const std::map<std::string, std::string>& userInfo) {
    auto model = std::make_shared<ExceptionModel>();
    model->type = crashcapture::validUtf8(domain);
    if (!userInfo.empty()) {
        Json description = Json::object();
        for (const auto& [key, value] : userInfo) description[key] = value;
        model->message = description.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    model->fillFromCurrentCallStack();
    return model;
}

std::shared_ptr<ExceptionModel> ExceptionModel::initWithException(const std::exception& exception) {
    auto model = std::make_shared<ExceptionModel>();
    model->type = demangled(typeid(exception).name());
    // Any bytes may be in a message; the log must stay valid UTF-8 to be sent.
    model->message = crashcapture::validUtf8(exception.what());
    model->fillFromCurrentCallStack();
    return model;
}

std::vector<std::shared_ptr<StackFrame>> ExceptionModel::loadStackTrace(const std::vector<std::string>& symbolLines) {
    static constexpr std::string_view kSeparators = " -[]+?.,";
    std::vector<std::shared_ptr<StackFrame>> result;
    for (const auto& line : symbolLines) {
        if (auto frame = glibcFrame(line)) {
            result.push_back(std::move(frame));
            continue;
        }
        std::vector<std::string> parts;
        std::string part;
        for (char c : line) {
            if (kSeparators.find(c) != std::string_view::npos) {
                if (!part.empty()) parts.push_back(std::move(part));
                part.clear();
            } else {
                part += c;
            }
        }
        if (!part.empty()) parts.push_back(std::move(part));
        if (parts.size() > 5) {
            auto frame = std::make_shared<StackFrame>();
            frame->fileName = parts[1];
            frame->address = parts[2];
            frame->frameClassName = parts[3];
            frame->methodName = parts[4];
            result.push_back(std::move(frame));
        }
    }
    return result;
}

Json ExceptionModel::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, kType, type);
    json_fields::put(json, kMessage, message);
    json_fields::put(json, kStackTrace, stackTrace);
    model_lists::put(json, kFrames, frames);
    return json;
}

std::optional<std::string> ExceptionModel::validationError() const {
    if (!type) return invalidFieldMessage(className(), kType);
    if (!frames) return invalidFieldMessage(className(), kFrames);
    return std::nullopt;
}

bool ExceptionModel::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const ExceptionModel*>(&other);
    return o && className() == other.className() && type == o->type && message == o->message &&
           stackTrace == o->stackTrace && model_lists::equal(frames, o->frames);
}

void ExceptionModel::encode(ArchiveWriter& w) const {
    w.encodeString(kType, type);
    w.encodeString(kMessage, message);
    w.encodeString(kStackTrace, stackTrace);
    if (frames) w.encodeObjects(kFrames, *frames);
}

void ExceptionModel::decode(ArchiveReader& r) {
    type = r.decodeString(kType);
    message = r.decodeString(kMessage);
    stackTrace = r.decodeString(kStackTrace);
    frames = r.decodeObjects<StackFrame>(kFrames);
}

} // namespace beacon
