#pragma once

#include "beacon/crashes/model/ExceptionModel.h"
#include "beacon/crashes/model/StackFrame.h"
#include "beacon/model/ModelObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// A thread of a crashed process: its number, its frames and, for the
// crashed thread, the exception that ended it. Valid with an id and frames.
class Thread : public ModelObject {
public:
    static constexpr std::string_view kClassName = "Thread";

    std::optional<std::int64_t> threadId;
    std::optional<std::string> name;
    std::optional<std::vector<std::shared_ptr<StackFrame>>> frames;
    std::shared_ptr<ExceptionModel> exception;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
