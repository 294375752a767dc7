#include "beacon/context/DeviceHistoryInfo.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"

namespace beacon {

void DeviceHistoryInfo::encode(ArchiveWriter& w) const {
    HistoryInfo::encode(w);
    w.encodeObject("deviceKey", device);
}

void DeviceHistoryInfo::decode(ArchiveReader& r) {
    HistoryInfo::decode(r);
    device = r.decodeObject<Device>("deviceKey");
}

} // namespace beacon
