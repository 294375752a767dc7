#include "beacon/archive/ArchiverUtil.h"

#include "beacon/archive/ArchiveFormat.h"
#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/archive/CborNesting.h"
#include "beacon/logger/Logger.h"

#include <mutex>

namespace beacon {

namespace {

std::mutex allowedMutex;
// Copied on write, so a read takes a snapshot without holding the lock.
std::shared_ptr<const ArchiveReader::AllowedClasses> allowedClasses = std::make_shared<ArchiveReader::AllowedClasses>();

std::shared_ptr<const ArchiveReader::AllowedClasses> allowedSnapshot() {
    std::lock_guard lock(allowedMutex);
    return allowedClasses;
}

std::optional<ArchiverUtil::Bytes> encodeRoot(Json root) {
    Json archive = Json::object();
    archive[archive_format::kFormatKey] = archive_format::kFormatName;
    archive[archive_format::kVersionKey] = archive_format::kVersion;
    archive[archive_format::kRootKey] = std::move(root);
    try {
        return Json::to_cbor(archive);
    } catch (const std::exception& e) {
        BEACON_LOG_ERROR("Archiving NSData failed with error: ", std::string(e.what()));
        return std::nullopt;
    }
}

Unarchived failure(std::string error) {
    BEACON_LOG_ERROR("Unarchiving NSData failed with error: ", error);
    Unarchived result;
    result.error = std::move(error);
    return result;
}

} // namespace

std::optional<ArchiverUtil::Bytes> ArchiverUtil::archiveKeyedData(const Archivable& root) {
    return encodeRoot(ArchiveWriter::objectValue(root));
}

std::optional<ArchiverUtil::Bytes>
ArchiverUtil::archiveKeyedData(const std::vector<std::shared_ptr<const Archivable>>& roots) {
    Json array = Json::array();
    for (const auto& root : roots) array.push_back(root ? ArchiveWriter::objectValue(*root) : Json());
    return encodeRoot(std::move(array));
}

Unarchived ArchiverUtil::unarchiveKeyedData(std::span<const std::uint8_t> bytes) {
    if (!cborNestingWithin(bytes, archive_format::kMaxCborDepth))
        return failure("The data is not an archive, or nests too deeply.");
    Json archive = Json::from_cbor(bytes.begin(), bytes.end(), true, false);
    if (archive.is_discarded() || !archive.is_object()) return failure("The data is not an archive.");
    auto format = archive.find(archive_format::kFormatKey);
    if (format == archive.end() || *format != archive_format::kFormatName)
        return failure("The data is not an archive.");
    auto version = archive.find(archive_format::kVersionKey);
    if (version == archive.end() || !version->is_number_integer() ||
        version->get<std::int64_t>() != archive_format::kVersion)
        return failure("The archive has an unsupported version.");
    auto root = archive.find(archive_format::kRootKey);
    if (root == archive.end()) return failure("The archive has no root object.");

    ArchiveReader::State state{allowedSnapshot(), {}, 0};
    Json none = Json::object();
    ArchiveReader reader(none, "the archive", state);
    Unarchived result;
    if (root->is_array()) {
        result.isArray = true;
        for (const auto& element : *root) {
            result.array.push_back(element.is_null() ? nullptr : reader.decodeObjectValue(element));
            if (reader.failed()) break;
        }
    } else {
        result.object = reader.decodeObjectValue(*root);
    }
    if (reader.failed()) return failure(reader.error());
    return result;
}

void ArchiverUtil::addAllowedClasses(const std::vector<ArchiveClass>& classes) {
    std::lock_guard lock(allowedMutex);
    auto updated = std::make_shared<ArchiveReader::AllowedClasses>(*allowedClasses);
    for (const auto& archiveClass : classes) (*updated)[archiveClass.name] = archiveClass;
    allowedClasses = std::move(updated);
}

bool ArchiverUtil::isAllowedClass(const std::string& name) {
    auto allowed = allowedSnapshot();
    return allowed->find(name) != allowed->end();
}

void ArchiverUtil::logUnexpectedRoot(const Unarchived& result, const char* expected) {
    if (result.ok())
        BEACON_LOG_ERROR("Unarchiving NSData failed with error: the archive does not hold ", std::string(expected),
                         ".");
}

} // namespace beacon
