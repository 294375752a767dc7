#pragma once

#include "beacon/model/AppExtension.h"
#include "beacon/model/DeviceExtension.h"
#include "beacon/model/LocExtension.h"
#include "beacon/model/MetadataExtension.h"
#include "beacon/model/ModelObject.h"
#include "beacon/model/NetExtension.h"
#include "beacon/model/OSExtension.h"
#include "beacon/model/ProtocolExtension.h"
#include "beacon/model/SDKExtension.h"
#include "beacon/model/UserExtension.h"

#include <memory>

namespace beacon {

// The extensions of a common-schema log, written in this order under the
// keys "metadata", "protocol", "user", "device", "os", "app", "net", "sdk",
// "loc". An extension that is absent or whose dictionary would be empty is
// left out.
class CSExtensions : public ModelObject {
public:
    static constexpr std::string_view kClassName = "CSExtensions";

    std::shared_ptr<MetadataExtension> metadataExt;
    std::shared_ptr<ProtocolExtension> protocolExt;
    std::shared_ptr<UserExtension> userExt;
    std::shared_ptr<DeviceExtension> deviceExt;
    std::shared_ptr<OSExtension> osExt;
    std::shared_ptr<AppExtension> appExt;
    std::shared_ptr<NetExtension> netExt;
    std::shared_ptr<SDKExtension> sdkExt;
    std::shared_ptr<LocExtension> locExt;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    // Every present extension must be valid.
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
