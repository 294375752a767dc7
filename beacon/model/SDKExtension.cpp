#include "beacon/model/SDKExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

#include <algorithm>
#include <cctype>

namespace beacon {

Json SDKExtension::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "libVer", libVer);
    json_fields::put(json, "epoch", epoch);
    if (seq != 0) json["seq"] = seq;
    if (installId) {
        std::string upper = *installId;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        json["installId"] = upper;
    }
    return json;
}

bool SDKExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const SDKExtension*>(&other);
    return o && libVer == o->libVer && epoch == o->epoch && seq == o->seq && installId == o->installId;
}

void SDKExtension::encode(ArchiveWriter& w) const {
    w.encodeString("libVer", libVer);
    w.encodeString("epoch", epoch);
    w.encodeInt64("seq", seq);
    w.encodeString("installId", installId);
}

void SDKExtension::decode(ArchiveReader& r) {
    libVer = r.decodeString("libVer");
    epoch = r.decodeString("epoch");
    seq = r.decodeInt64("seq").value_or(0);
    installId = r.decodeString("installId");
}

} // namespace beacon
