#include "beacon/model/DeviceExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json DeviceExtension::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "localId", localId);
    return json;
}

bool DeviceExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const DeviceExtension*>(&other);
    return o && localId == o->localId;
}

void DeviceExtension::encode(ArchiveWriter& w) const { w.encodeString("localId", localId); }

void DeviceExtension::decode(ArchiveReader& r) { localId = r.decodeString("localId"); }

} // namespace beacon
