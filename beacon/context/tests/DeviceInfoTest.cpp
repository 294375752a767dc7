#include "beacon/context/AppDelegateForwarder.h"
#include "beacon/context/LinuxDeviceInfoProvider.h"
#include "beacon/model/tests/TestSupport.h"
#include "beacon/util/tests/ScopedEnv.h"
#include "beacon/util/tests/TempDir.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace beacon;

TEST(LinuxDeviceInfo, LocaleIdentifiersFromPosixNames) {
    EXPECT_EQ(LinuxDeviceInfoProvider::localeIdentifier("en_US.UTF-8"), "en_US");
    EXPECT_EQ(LinuxDeviceInfoProvider::localeIdentifier("de_CH"), "de_CH");
    EXPECT_EQ(LinuxDeviceInfoProvider::localeIdentifier("sr_RS.UTF-8@latin"), "sr-Latn_RS");
    EXPECT_EQ(LinuxDeviceInfoProvider::localeIdentifier("ca_ES@valencia"), "ca_ES");
    EXPECT_EQ(LinuxDeviceInfoProvider::localeIdentifier("fr"), "fr");
    EXPECT_EQ(LinuxDeviceInfoProvider::localeIdentifier("C.UTF-8"), "en");
    EXPECT_EQ(LinuxDeviceInfoProvider::localeIdentifier("POSIX"), "en");
    EXPECT_EQ(LinuxDeviceInfoProvider::localeIdentifier(""), "en");
}

TEST(LinuxDeviceInfo, FactsOfThisMachineMakeAValidDevice) {
    TempDir dir;
    std::ofstream(dir.path / "sys_vendor") << "  LENOVO \n";
    std::ofstream(dir.path / "product_name") << "\n"; // empty: unknown
    ScopedEnv locale("LC_ALL", "pt_BR.UTF-8");
    Device device = LinuxDeviceInfoProvider(dir.path).deviceInfo();

    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_EQ(device.sdkName, "beacon.linux");
    EXPECT_EQ(device.osName, "Linux");
    EXPECT_EQ(device.osVersion, std::string(names.release));
    EXPECT_EQ(device.osBuild, std::string(names.version));
    EXPECT_EQ(device.oemName, "LENOVO");
    EXPECT_EQ(device.model, "Unknown");
    EXPECT_EQ(device.locale, "pt_BR");
    EXPECT_EQ(device.timeZoneOffset, LinuxDeviceInfoProvider::localTimeZoneOffsetMinutes());
    EXPECT_FALSE(device.screenSize);
    EXPECT_EQ(device.appNamespace, "com.zelvo.Zelvo");
    EXPECT_EQ(device.validationError(), std::nullopt);
}

TEST(LinuxDeviceInfo, TimeZoneOffsetFollowsTheEnvironment) {
    for (auto [zone, minutes] : {std::pair{"Asia/Kolkata", 330}, std::pair{"UTC", 0}}) {
        ScopedEnv tz("TZ", zone);
        ::tzset();
        EXPECT_EQ(LinuxDeviceInfoProvider::localTimeZoneOffsetMinutes(), minutes) << zone;
    }
    ::tzset();
}

TEST(DelegateForwarder, TracesWaitForTheFlushThenRunAtOnce) {
    LogCapture capture;
    AppDelegateForwarder forwarder(false);
    EXPECT_FALSE(forwarder.enabled());
    std::vector<int> ran;
    forwarder.addTraceBlock([&] { ran.push_back(1); });
    forwarder.addTraceBlock([&] { ran.push_back(2); });
    EXPECT_TRUE(ran.empty());
    forwarder.flushTraceBuffer();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    forwarder.addTraceBlock([&] { ran.push_back(3); });
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    forwarder.flushTraceBuffer(); // nothing more to flush
    EXPECT_EQ(ran.size(), 3u);

    EXPECT_EQ(
        capture.messages(),
        (std::vector<std::string>{"Start buffering traces.",
                                  "Delegate forwarder for info.plist key 'BeaconAppDelegateForwarderEnabled' disabled. "
                                  "It won't use swizzling.",
                                  "Stop buffering traces, flushed."}));
    EXPECT_TRUE(AppDelegateForwarder().enabled());
}
