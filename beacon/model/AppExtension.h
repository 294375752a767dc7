#pragma once

#include "beacon/model/ModelObject.h"

#include <optional>
#include <string>

namespace beacon {

// Common-schema application extension: "id" ("I:" + application identifier), "ver", "name", "locale", "userId".
class AppExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "AppExtension";

    std::optional<std::string> appId;
    std::optional<std::string> ver;
    std::optional<std::string> name;
    std::optional<std::string> locale;
    std::optional<std::string> userId;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
