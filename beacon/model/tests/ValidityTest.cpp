#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/DoubleTypedProperty.h"
#include "beacon/model/LogContainer.h"
#include "beacon/model/StartServiceLog.h"
#include "beacon/model/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace beacon;

namespace {

std::shared_ptr<StartServiceLog> validLog() {
    auto log = std::make_shared<StartServiceLog>();
    log->timestamp = std::chrono::system_clock::now();
    log->device = std::make_shared<Device>(test::fullDevice());
    return log;
}

} // namespace

TEST(Validity, LogNeedsTypeTimestampAndAValidDeviceNamingTheFirstMissingField) {
    auto log = validLog();
    EXPECT_EQ(log->validationError(), std::nullopt);
    log->type.reset();
    log->timestamp.reset();
    EXPECT_EQ(log->validationError(), "StartServiceLog: \"type\" is not valid.");
    log->type = "startService";
    EXPECT_EQ(log->validationError(), "StartServiceLog: \"timestamp\" is not valid.");
    log->timestamp = std::chrono::system_clock::now();
    log->device.reset();
    EXPECT_EQ(log->validationError(), "StartServiceLog: \"device\" is not valid.");
    log->device = std::make_shared<Device>(test::fullDevice());
    log->device->appVersion.reset();
    EXPECT_EQ(log->validationError(), "Device: \"appVersion\" is not valid.");

    LogCapture capture;
    EXPECT_FALSE(log->isValid());
    EXPECT_TRUE(capture.contains(LogLevel::Verbose, "Device: \"appVersion\" is not valid."));
}

TEST(Validity, DeviceChecksItsRequiredFieldsInOrder) {
    Device device = test::fullDevice();
    // Optional facts may be missing.
    device.model.reset();
    device.oemName.reset();
    device.osBuild.reset();
    device.screenSize.reset();
    device.appNamespace.reset();
    device.wrapperSdkName.reset();
    EXPECT_TRUE(device.isValid());
    // An empty device names the first missing field; each is filled in turn.
    Device empty;
    const std::pair<const char*, std::function<void(Device&)>> required[] = {
        {"sdkName", [](Device& d) { d.sdkName = "x"; }},
        {"sdkVersion", [](Device& d) { d.sdkVersion = "x"; }},
        {"osName", [](Device& d) { d.osName = "x"; }},
        {"osVersion", [](Device& d) { d.osVersion = "x"; }},
        {"locale", [](Device& d) { d.locale = "x"; }},
        {"timeZoneOffset", [](Device& d) { d.timeZoneOffset = 0; }},
        {"appVersion", [](Device& d) { d.appVersion = "1"; }},
        {"appBuild", [](Device& d) { d.appBuild = "1"; }},
    };
    for (const auto& [field, fill] : required) {
        EXPECT_EQ(empty.validationError(), std::string("Device: \"") + field + "\" is not valid.");
        fill(empty);
    }
    EXPECT_EQ(empty.validationError(), std::nullopt);
}

TEST(Validity, ContainerNeedsLogsAndEveryLogValid) {
    LogContainer container;
    EXPECT_EQ(container.validationError(), "LogContainer: there are no logs in container.");
    container.logs = {validLog(), validLog()};
    EXPECT_TRUE(container.isValid());
    container.logs[1]->device->sdkName.reset();
    EXPECT_EQ(container.validationError(), "Device: \"sdkName\" is not valid.");
    container.logs[1] = nullptr;
    EXPECT_FALSE(container.isValid());
}

TEST(Validity, CommonSchemaLogReplacesTheBaseRule) {
    CommonSchemaLog cs; // no type, no device: still valid once its own fields are set
    EXPECT_EQ(cs.validationError(), "CommonSchemaLog: \"timestamp\" is not valid.");
    cs.timestamp = std::chrono::system_clock::now();
    EXPECT_EQ(cs.validationError(), "CommonSchemaLog: \"ver\" is not valid.");
    cs.ver = "3.0";
    EXPECT_EQ(cs.validationError(), "CommonSchemaLog: \"name\" is not valid.");
    cs.name = "n";
    EXPECT_TRUE(cs.isValid());

    CSExtensions ext;
    ext.protocolExt = std::make_shared<ProtocolExtension>();
    ext.metadataExt = std::make_shared<MetadataExtension>();
    EXPECT_TRUE(ext.isValid());
}

TEST(Validity, DoublePropertiesMustBeFiniteToBeWritable) {
    DoubleTypedProperty p;
    p.name = "ratio";
    p.value = 1e308;
    EXPECT_TRUE(p.isValid());
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        p.value = bad;
        EXPECT_EQ(p.validationError(), "DoubleTypedProperty: \"value\" is not valid.");
    }
}
