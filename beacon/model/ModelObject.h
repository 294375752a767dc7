#pragma once

#include "beacon/archive/Archivable.h"
#include "beacon/archive/Json.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace beacon {

// What every class of the telemetry model offers: its JSON form (the wire
// format), its validity, value equality and archiving.
class ModelObject : public Archivable {
public:
    // A JSON object of the fields that are set; a subclass adds its keys
    // after its base's.
    virtual Json serializeToDictionary() const = 0;

    // Nothing when valid; otherwise the reason, naming the class and the
    // first field that is missing, e.g. `Device: "sdkName" is not valid.`.
    virtual std::optional<std::string> validationError() const { return std::nullopt; }
    // True when valid; otherwise logs the reason at verbose level.
    bool isValid() const;

    // Same class family and equal fields (two absent values are equal).
    // A subclass checks its own type and fields and asks its base.
    virtual bool isEqual(const ModelObject& other) const = 0;

    static std::string invalidFieldMessage(std::string_view className, std::string_view field);

    // Equality of two optional objects: both absent, or both present and equal.
    template <typename T> static bool equalObjects(const std::shared_ptr<T>& a, const std::shared_ptr<T>& b) {
        if (!a || !b) return !a && !b;
        return a->isEqual(*b);
    }
};

} // namespace beacon
