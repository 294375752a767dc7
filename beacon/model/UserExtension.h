#pragma once

#include "beacon/model/ModelObject.h"

#include <optional>
#include <string>

namespace beacon {

// Common-schema user extension: the user id ("localId", e.g. "c:alice") and locale ("locale", e.g. "en-US").
class UserExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "UserExtension";

    std::optional<std::string> localId;
    std::optional<std::string> locale;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
