#include "beacon/testing/SampleDevices.h"

namespace beacon::test {

std::shared_ptr<Device> validDevice() {
    auto device = std::make_shared<Device>();
    device->sdkName = "beacon.linux";
    device->sdkVersion = "1.0.0";
    device->osName = "Linux";
    device->osVersion = "6.1.0";
    device->locale = "en_US";
    device->timeZoneOffset = 60;
    device->appVersion = "1.0.0";
    device->appBuild = "42";
    return device;
}

Device fullDevice() {
    Device d;
    d.wrapperSdkVersion = "2.1";
    d.wrapperSdkName = "wrap.it";
    d.sdkName = "beacon.linux";
    d.sdkVersion = "1.0.0";
    d.model = "ThinkPad X1";
    d.oemName = "LENOVO";
    d.osName = "Linux";
    d.osVersion = "6.1.0-18-amd64";
    d.osBuild = "#1 SMP";
    d.locale = "de_CH";
    d.timeZoneOffset = 60;
    d.screenSize = "1920x1080";
    d.appVersion = "1.0.0";
    d.carrierCountry = "ch";
    d.appBuild = "42";
    d.appNamespace = "com.zelvo.Zelvo";
    return d;
}

} // namespace beacon::test
