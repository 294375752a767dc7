#include "beacon/model/StartServiceLog.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"

namespace beacon {

namespace {
constexpr const char* kServices = "services";
constexpr const char* kIsCollectorEnabled = "isCollectorEnabled";
} // namespace

StartServiceLog::StartServiceLog() { type = kType; }

Json StartServiceLog::serializeToDictionary() const {
    Json json = AbstractLog::serializeToDictionary();
    if (services) {
        json[kServices] = *services;
        json[kIsCollectorEnabled] = isCollectorEnabled;
    }
    return json;
}

bool StartServiceLog::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const StartServiceLog*>(&other);
    return o && AbstractLog::isEqual(other) && services == o->services && isCollectorEnabled == o->isCollectorEnabled;
}

void StartServiceLog::encode(ArchiveWriter& w) const {
    AbstractLog::encode(w);
    w.encodeStrings(kServices, services);
    w.encodeBool(kIsCollectorEnabled, isCollectorEnabled);
}

void StartServiceLog::decode(ArchiveReader& r) {
    AbstractLog::decode(r);
    services = r.decodeStrings(kServices);
    isCollectorEnabled = r.decodeBool(kIsCollectorEnabled).value_or(false);
}

} // namespace beacon
