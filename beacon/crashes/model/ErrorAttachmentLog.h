#pragma once

#include "beacon/model/AbstractLog.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// A file sent along with an error log (type "errorAttachment"). The data is
// written as Base64 text. Valid with errorId, id, data and contentType.
class ErrorAttachmentLog : public AbstractLog {
public:
    static constexpr std::string_view kClassName = "ErrorAttachmentLog";
    static constexpr const char* kType = "errorAttachment";
    static constexpr const char* kTextContentType = "text/plain";

    // A new attachment with a fresh random id.
    ErrorAttachmentLog();
    ErrorAttachmentLog(std::optional<std::string> filename, std::vector<std::uint8_t> data, std::string contentType);
    // A text attachment: its UTF-8 bytes, content type "text/plain".
    static std::shared_ptr<ErrorAttachmentLog> attachmentWithText(const std::string& text,
                                                                  std::optional<std::string> filename = std::nullopt);

    std::optional<std::string> attachmentId; // "id"
    std::optional<std::string> errorId;
    std::optional<std::string> contentType;
    std::optional<std::string> filename; // "fileName"
    std::optional<std::vector<std::uint8_t>> data;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
