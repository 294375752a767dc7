#include "beacon/model/UserExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json UserExtension::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "localId", localId);
    json_fields::put(json, "locale", locale);
    return json;
}

bool UserExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const UserExtension*>(&other);
    return o && localId == o->localId && locale == o->locale;
}

void UserExtension::encode(ArchiveWriter& w) const {
    w.encodeString("localId", localId);
    w.encodeString("locale", locale);
}

void UserExtension::decode(ArchiveReader& r) {
    localId = r.decodeString("localId");
    locale = r.decodeString("locale");
}

} // namespace beacon
