#include "beacon/crashes/model/ErrorAttachmentLog.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/crashes/model/Base64.h"
#include "beacon/crashes/model/UuidText.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kId = "id";
constexpr const char* kErrorId = "errorId";
constexpr const char* kContentType = "contentType";
constexpr const char* kFileName = "fileName";
constexpr const char* kData = "data";
} // namespace

ErrorAttachmentLog::ErrorAttachmentLog() : attachmentId(uuid_text::random()) { type = kType; }

ErrorAttachmentLog::ErrorAttachmentLog(std::optional<std::string> filename, std::vector<std::uint8_t> data,
                                       std::string contentType)
    : ErrorAttachmentLog() {
    this->filename = std::move(filename);
    this->data = std::move(data);
    this->contentType = std::move(contentType);
}

std::shared_ptr<ErrorAttachmentLog> ErrorAttachmentLog::attachmentWithText(const std::string& text,
                                                                           std::optional<std::string> filename) {
    return std::make_shared<ErrorAttachmentLog>(std::move(filename),
                                                std::vector<std::uint8_t>(text.begin(), text.end()), kTextContentType);
}

Json ErrorAttachmentLog::serializeToDictionary() const {
    Json json = AbstractLog::serializeToDictionary();
    json_fields::put(json, kId, attachmentId);
    json_fields::put(json, kErrorId, errorId);
    json_fields::put(json, kContentType, contentType);
    json_fields::put(json, kFileName, filename);
    if (data) json[kData] = base64::encode(*data);
    return json;
}

std::optional<std::string> ErrorAttachmentLog::validationError() const {
    if (auto error = AbstractLog::validationError()) return error;
    if (!errorId) return invalidFieldMessage(className(), "errorId");
    if (!attachmentId) return invalidFieldMessage(className(), "attachmentId");
    if (!data) return invalidFieldMessage(className(), "data");
    if (!contentType) return invalidFieldMessage(className(), "contentType");
    return std::nullopt;
}

bool ErrorAttachmentLog::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const ErrorAttachmentLog*>(&other);
    return o && AbstractLog::isEqual(other) && attachmentId == o->attachmentId && errorId == o->errorId &&
           contentType == o->contentType && filename == o->filename && data == o->data;
}

void ErrorAttachmentLog::encode(ArchiveWriter& w) const {
    AbstractLog::encode(w);
    w.encodeString(kId, attachmentId);
    w.encodeString(kErrorId, errorId);
    w.encodeString(kContentType, contentType);
    w.encodeString(kFileName, filename);
    if (data) w.encodeString(kData, base64::encode(*data));
}

void ErrorAttachmentLog::decode(ArchiveReader& r) {
    AbstractLog::decode(r);
    attachmentId = r.decodeString(kId);
    errorId = r.decodeString(kErrorId);
    contentType = r.decodeString(kContentType);
    filename = r.decodeString(kFileName);
    data.reset();
    if (auto text = r.decodeString(kData)) {
        data = base64::decode(*text);
        if (!data) r.fail("The value for key \"data\" of ErrorAttachmentLog is not Base64 text.");
    }
}

} // namespace beacon
