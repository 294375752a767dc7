#pragma once

#include "crashcapture/report/CrashReport.h"

#include <map>
#include <string>
#include <vector>

namespace crashcapture::testing {

// Field path ("threads.frames.pc") → every value found under it, in order.
using ProtocFields = std::map<std::string, std::vector<std::string>>;

// The report bytes after the header decoded by Google's protoc
// (`protoc --decode=zvcrash.CrashReport`), an implementation of the wire
// format independent of protobuf-c; texts unquoted.
ProtocFields decodeWithProtoc(const std::vector<std::uint8_t>& file);

// The reader's view of the same paths, for comparison with protoc's.
ProtocFields fieldsOf(const CrashReport& report);

} // namespace crashcapture::testing
