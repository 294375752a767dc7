#include "beacon/model/NetExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json NetExtension::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "provider", provider);
    return json;
}

bool NetExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const NetExtension*>(&other);
    return o && provider == o->provider;
}

void NetExtension::encode(ArchiveWriter& w) const { w.encodeString("provider", provider); }

void NetExtension::decode(ArchiveReader& r) { provider = r.decodeString("provider"); }

} // namespace beacon
