#include "beacon/context/HistoryInfo.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"

namespace beacon {

void HistoryInfo::encode(ArchiveWriter& w) const { w.encodeDate("timestampKey", timestamp); }

void HistoryInfo::decode(ArchiveReader& r) {
    auto date = r.decodeDate("timestampKey");
    if (!date) r.fail("A history entry has no timestamp.");
    timestamp = date.value_or(Date{});
}

} // namespace beacon
