#pragma once

// The archive format, version 1.
//
// An archive is one CBOR data item (RFC 8949): a map with, in this order,
//   "format":  "beacon.archive"
//   "version": 1
//   "root":    the archived value: one object, or an array of objects
//
// An object is a map whose first entry is "$class" (the class name, see
// Archivable::className) followed by the object's fields under their archive
// keys; fields without a value are left out. Field values are
//   strings, booleans, integers (signed 64-bit) and doubles: the CBOR item,
//   dates: {"$date": <signed 64-bit nanoseconds since 1970-01-01T00:00:00Z>},
//   string arrays and string-to-string maps: the CBOR array / map,
//   free JSON content: {"$json": <the value>} (maps keep their key order),
//   objects: a nested object map, arrays of objects: an array of them
//   (an absent element is a CBOR null).
//
// Reading accepts only classes on the allow-list (ArchiverUtil), checks the
// type of every field it reads, and refuses other formats and newer versions.
namespace beacon::archive_format {

inline constexpr const char* kFormatKey = "format";
inline constexpr const char* kFormatName = "beacon.archive";
inline constexpr const char* kVersionKey = "version";
inline constexpr int kVersion = 1;
inline constexpr const char* kRootKey = "root";
inline constexpr const char* kClassKey = "$class";
inline constexpr const char* kDateKey = "$date";
inline constexpr const char* kJsonKey = "$json";
// Objects nested deeper than this are refused (a damaged or hostile archive
// must not exhaust the stack).
inline constexpr int kMaxDepth = 32;
// Arrays and maps of the CBOR item (free JSON content included) may nest at
// most this deep; checked before decoding.
inline constexpr int kMaxCborDepth = 128;

} // namespace beacon::archive_format
