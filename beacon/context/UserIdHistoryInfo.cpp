#include "beacon/context/UserIdHistoryInfo.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"

namespace beacon {

void UserIdHistoryInfo::encode(ArchiveWriter& w) const {
    HistoryInfo::encode(w);
    w.encodeString("userIdKey", userId);
}

void UserIdHistoryInfo::decode(ArchiveReader& r) {
    HistoryInfo::decode(r);
    userId = r.decodeString("userIdKey");
}

} // namespace beacon
