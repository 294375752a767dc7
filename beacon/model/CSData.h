#pragma once

#include "beacon/archive/OrderedDictionary.h"
#include "beacon/model/ModelObject.h"

namespace beacon {

// The data part of a common-schema log: arbitrary JSON values, written with
// "baseType" first and "baseData" second when present, then the other
// entries in insertion order.
class CSData : public ModelObject {
public:
    static constexpr std::string_view kClassName = "CSData";

    OrderedDictionary<Json> properties;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
