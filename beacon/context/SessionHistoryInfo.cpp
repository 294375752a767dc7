#include "beacon/context/SessionHistoryInfo.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"

namespace beacon {

void SessionHistoryInfo::encode(ArchiveWriter& w) const {
    HistoryInfo::encode(w);
    w.encodeString("sessionIdKey", sessionId);
}

void SessionHistoryInfo::decode(ArchiveReader& r) {
    HistoryInfo::decode(r);
    sessionId = r.decodeString("sessionIdKey");
}

} // namespace beacon
