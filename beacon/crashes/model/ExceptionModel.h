#pragma once

#include "beacon/crashes/model/StackFrame.h"
#include "beacon/model/ModelObject.h"

#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// An exception as error logs carry it: its type, message, the stack trace as
// text and as frames. Valid with a type and a frame list (which may be empty).
class ExceptionModel : public ModelObject {
public:
    static constexpr std::string_view kClassName = "ExceptionModel";

    std::optional<std::string> type;
    std::optional<std::string> message;
    std::optional<std::string> stackTrace;
    std::optional<std::vector<std::shared_ptr<StackFrame>>> frames;

    ExceptionModel() = default;
    ExceptionModel(std::string type, std::optional<std::string> exceptionMessage,
                   std::optional<std::string> stackTrace);

    // From an error value: type := its domain; message := the description of
    // its user info when that is not empty; stack trace := the current call
    // stack's symbol lines, frames from them.
    static std::shared_ptr<ExceptionModel> initWithError(const std::string& domain,
                                                         const std::map<std::string, std::string>& userInfo);
    // From a C++ exception: type := its dynamic type's name, message :=
    // what(); stack trace and frames from the current call stack.
    static std::shared_ptr<ExceptionModel> initWithException(const std::exception& exception);

    // Frames from call-stack symbol lines. A line of glibc's form
    // "BINARY(SYMBOL+0xOFFSET) [0xADDRESS]" gives fileName := the binary's
    // path with user folders anonymised, address, methodName := the
    // demangled symbol when there is one. Any other line is split at every
    // one of " -[]+?.," (empty parts dropped); a line with more than five
    // parts gives a frame with fileName := part 1, address := part 2,
    // className := part 3, methodName := part 4.
    static std::vector<std::shared_ptr<StackFrame>> loadStackTrace(const std::vector<std::string>& symbolLines);

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;

protected:
    void fillFromCurrentCallStack();
};

} // namespace beacon
