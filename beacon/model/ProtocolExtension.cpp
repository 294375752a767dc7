#include "beacon/model/ProtocolExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json ProtocolExtension::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "ticketKeys", ticketKeys);
    json_fields::put(json, "devMake", devMake);
    json_fields::put(json, "devModel", devModel);
    return json;
}

bool ProtocolExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const ProtocolExtension*>(&other);
    return o && ticketKeys == o->ticketKeys && devMake == o->devMake && devModel == o->devModel;
}

void ProtocolExtension::encode(ArchiveWriter& w) const {
    w.encodeStrings("ticketKeys", ticketKeys);
    w.encodeString("devMake", devMake);
    w.encodeString("devModel", devModel);
}

void ProtocolExtension::decode(ArchiveReader& r) {
    ticketKeys = r.decodeStrings("ticketKeys");
    devMake = r.decodeString("devMake");
    devModel = r.decodeString("devModel");
}

} // namespace beacon
