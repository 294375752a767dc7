#pragma once

#include "beacon/crashes/model/WrapperExceptionModel.h"
#include "beacon/model/ModelObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace beacon {

// A wrapper SDK's exception kept on disk until the crash report it belongs to
// is processed. Archived only, never sent; its JSON form is for diagnostics.
class WrapperException : public ModelObject {
public:
    static constexpr std::string_view kClassName = "WrapperException";

    std::shared_ptr<WrapperExceptionModel> modelException;
    std::optional<std::int64_t> processId;
    std::optional<std::vector<std::uint8_t>> exceptionData;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
