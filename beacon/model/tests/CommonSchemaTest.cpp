#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/JsonText.h"
#include "beacon/model/tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono;
using beacon::test::python;

namespace {

const Date kTime = sys_days{2024y / March / 1} + 17h + 5min + 9s + 42ms;

std::shared_ptr<AbstractLog> logWithDevice(Device device) {
    auto log = std::make_shared<AbstractLog>();
    log->type = "event";
    log->timestamp = kTime;
    log->device = std::make_shared<Device>(std::move(device));
    return log;
}

} // namespace

TEST(CommonSchema, TimeZoneTextsCarryTheSignOfTheWholeOffset) {
    EXPECT_EQ(AbstractLog::timeZoneText(-300), "-05:00");
    EXPECT_EQ(AbstractLog::timeZoneText(330), "+05:30");
    EXPECT_EQ(AbstractLog::timeZoneText(120), "+02:00");
    EXPECT_EQ(AbstractLog::timeZoneText(0), "+00:00");
    EXPECT_EQ(AbstractLog::timeZoneText(-30), "-00:30");
    EXPECT_EQ(AbstractLog::timeZoneText(-570), "-09:30");
    EXPECT_EQ(AbstractLog::timeZoneText(840), "+14:00");
}

TEST(CommonSchema, NoTokenNoLogsTwoTokensTwoLogsDifferingOnlyInKeyAndToken) {
    EXPECT_TRUE(logWithDevice(test::fullDevice())->toCommonSchemaLogs(kLogFlagsNormal).empty());
    auto device = test::fullDevice();
    device.timeZoneOffset = -300;
    device.carrierName = "Swisscom";
    auto log = logWithDevice(device);
    log->userId = "alice";
    log->addTransmissionTargetToken("bbbb2222-x");
    log->addTransmissionTargetToken("aaaa1111-y");

    auto csLogs = log->toCommonSchemaLogs(kLogFlagsCritical);
    ASSERT_EQ(csLogs.size(), 2u);
    EXPECT_EQ(csLogs[0]->iKey, "o:aaaa1111");
    EXPECT_EQ(csLogs[1]->iKey, "o:bbbb2222");
    EXPECT_EQ(csLogs[0]->transmissionTargetTokens(), std::set<std::string>{"aaaa1111-y"});
    EXPECT_EQ(csLogs[1]->transmissionTargetTokens(), std::set<std::string>{"bbbb2222-x"});
    csLogs[1]->iKey = csLogs[0]->iKey;
    csLogs[1]->setTransmissionTargetTokens(csLogs[0]->transmissionTargetTokens());
    EXPECT_TRUE(csLogs[0]->isEqual(*csLogs[1]));

    const auto& cs = *csLogs[0];
    EXPECT_EQ(cs.ver, "3.0");
    EXPECT_EQ(cs.timestamp, kTime);
    EXPECT_EQ(cs.flags, 2);
    EXPECT_FALSE(cs.name); // left to subclasses
    EXPECT_FALSE(cs.data);
    auto text = jsonText(cs.serializeToDictionary(), false);
    ASSERT_TRUE(text);
    EXPECT_EQ(python(*text, "print(keys(doc)); e=get(doc,'ext'); print(keys(e));"
                            "print(json.dumps([dict(v) for k,v in e], sort_keys=True))"),
              "ver,time,iKey,flags,ext\n"
              "protocol,user,os,app,net,sdk,loc\n"
              R"x([{"devMake": "LENOVO", "devModel": "ThinkPad X1"}, {"localId": "c:alice", "locale": "de-CH"}, )x"
              R"x({"name": "Linux", "ver": "Version 6.1.0-18-amd64 (Build #1 SMP)"}, )x"
              R"x({"id": "I:com.zelvo.Zelvo", "locale": "en", "ver": "1.0.0"}, {"provider": "Swisscom"}, )x"
              R"x({"libVer": "beacon.linux-1.0.0"}, {"tz": "-05:00"}])x");
}

TEST(CommonSchema, ExtensionRulesForSparseDevicesAndUserIds) {
    Device device;
    device.osBuild = "";
    device.sdkName = "beacon.linux"; // no version: no libVer
    auto log = logWithDevice(device);
    log->userId = "c:bob";
    auto cs = log->toCommonSchemaLog("tok-1", kLogFlagsNormal);
    EXPECT_EQ(cs->ext->userExt->localId, "c:bob");
    EXPECT_FALSE(cs->ext->osExt->ver);
    EXPECT_FALSE(cs->ext->sdkExt->libVer);
    EXPECT_FALSE(cs->ext->appExt->appId);
    EXPECT_FALSE(cs->ext->locExt->tz);
    EXPECT_TRUE(cs->ext->deviceExt);

    device.osVersion = "6.1";
    log = logWithDevice(device);
    log->userId = "x:carol";
    cs = log->toCommonSchemaLog("tok-1", kLogFlagsNormal);
    EXPECT_EQ(cs->ext->osExt->ver, "Version 6.1");
    EXPECT_EQ(cs->ext->userExt->localId, "x:carol"); // only plain ids get the prefix

    log->userId.reset();
    log->device.reset(); // a log without device still converts
    cs = log->toCommonSchemaLog("tok-1", 0);
    EXPECT_FALSE(cs->ext->userExt->localId);
    EXPECT_EQ(python(*jsonText(cs->serializeToDictionary(), false), "print(keys(doc)); print(keys(get(doc,'ext')))"),
              "ver,time,iKey,ext\napp");
}

TEST(CommonSchema, JsonOrderOmissionsAndDataOrdering) {
    CommonSchemaLog cs;
    cs.iKey = "o:key";
    cs.data = std::make_shared<CSData>();
    cs.ext = std::make_shared<CSExtensions>();
    cs.name = "Zelvo.Event";
    cs.timestamp = kTime;
    cs.ver = "3.0";
    cs.popSample = 100;
    cs.cV = "cv";
    cs.flags = 0;
    cs.ext->locExt = std::make_shared<LocExtension>();
    cs.ext->locExt->tz = "+01:00";
    cs.ext->protocolExt = std::make_shared<ProtocolExtension>(); // nothing set: left out
    cs.ext->metadataExt = std::make_shared<MetadataExtension>();
    cs.ext->metadataExt->metadata["f"] = Json{{"z", 1}, {"a", 2}};
    cs.ext->sdkExt = std::make_shared<SDKExtension>();
    cs.ext->sdkExt->libVer = "beacon.linux-1.0.0";
    cs.ext->sdkExt->installId = "3f2c6a1e-0b7d-4e8a-9c1f-2d3e4f5a6b7c";
    cs.data->properties.setObject("first", "custom");
    cs.data->properties.setObject(Json{{"k", "v"}}, "baseData");
    cs.data->properties.setObject("EventData", "baseType");
    cs.data->properties.setObject(1.5, "another");

    auto text = jsonText(cs.serializeToDictionary(), false);
    ASSERT_TRUE(text);
    EXPECT_EQ(python(*text, "print(keys(doc)); e=get(doc,'ext'); print(keys(e)); print(keys(get(doc,'data')));"
                            "print(keys(get(get(e,'metadata'),'f')));"
                            "s=get(e,'sdk'); print(keys(s), get(s,'installId'))"),
              "ver,name,time,iKey,ext,data\n"
              "metadata,sdk,loc\n"
              "baseType,baseData,custom,another\n"
              "z,a\n"
              "libVer,installId 3F2C6A1E-0B7D-4E8A-9C1F-2D3E4F5A6B7C");

    cs.flags = 3;
    cs.ext->sdkExt->seq = 7;
    EXPECT_EQ(python(*jsonText(cs.serializeToDictionary(), false),
                     "print(keys(doc)); print(get(doc,'flags'), get(get(get(doc,'ext'),'sdk'),'seq'))"),
              "ver,name,time,iKey,flags,ext,data\n3 7");
}
