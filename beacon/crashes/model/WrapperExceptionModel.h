#pragma once

#include "beacon/crashes/model/ExceptionModel.h"

namespace beacon {

// An exception reported by a wrapper SDK (a framework embedding the
// telemetry library), with the exceptions it wraps.
class WrapperExceptionModel : public ExceptionModel {
public:
    static constexpr std::string_view kClassName = "WrapperExceptionModel";

    std::optional<std::string> wrapperSdkName;
    std::optional<std::vector<std::shared_ptr<WrapperExceptionModel>>> innerExceptions;

    using ExceptionModel::ExceptionModel;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
