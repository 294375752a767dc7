#include "beacon/model/BooleanTypedProperty.h"
#include "beacon/model/DateTimeTypedProperty.h"
#include "beacon/model/DoubleTypedProperty.h"
#include "beacon/model/JsonText.h"
#include "beacon/model/LogContainer.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/model/LongTypedProperty.h"
#include "beacon/model/StartServiceLog.h"
#include "beacon/model/StringTypedProperty.h"
#include "beacon/model/tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono;
using beacon::test::python;

namespace {

const Date kTime = sys_days{2024y / March / 1} + 17h + 5min + 9s + 42ms;

std::shared_ptr<AbstractLog> minimalLog() {
    auto log = std::make_shared<AbstractLog>();
    log->type = "custom";
    log->timestamp = kTime;
    log->device = std::make_shared<Device>(test::fullDevice());
    return log;
}

} // namespace

TEST(LogJson, MinimalLogHasExactlyTypeTimestampAndDeviceNeverTheTag) {
    auto log = minimalLog();
    log->tag = std::make_shared<int>(7);
    log->addTransmissionTargetToken("token-1");
    auto text = log->serializeLog(false);
    ASSERT_TRUE(text);
    EXPECT_EQ(python(*text, "print(keys(doc)); print(get(doc,'timestamp'))"),
              "type,timestamp,device\n2024-03-01T17:05:09.042Z");
}

TEST(LogJson, KeysComeInDocumentedOrderAndDeviceWritesWrapperKeysFirst) {
    auto log = std::make_shared<LogWithProperties>();
    log->dataResidencyRegion = "eu";
    log->device = std::make_shared<Device>(test::fullDevice());
    log->userId = "alice";
    log->distributionGroupId = "group";
    log->sid = "session";
    log->timestamp = kTime;
    log->type = "event";
    log->properties = std::map<std::string, std::string>{{"b", "2"}, {"a", "1"}};
    auto text = log->serializeLog(true);
    ASSERT_TRUE(text);
    // Numbers stay numbers: the last line is the offset's type.
    EXPECT_EQ(python(*text, "print(keys(doc)); print(keys(get(doc,'device'))); print(keys(get(doc,'properties')));"
                            "print(type(get(get(doc,'device'),'timeZoneOffset')).__name__)"),
              "type,timestamp,sid,distributionGroupId,userId,device,dataResidencyRegion,properties\n"
              "wrapperSdkVersion,wrapperSdkName,sdkName,sdkVersion,model,oemName,osName,osVersion,osBuild,"
              "locale,timeZoneOffset,screenSize,appVersion,carrierCountry,appBuild,appNamespace\n"
              "a,b\nint");

    log->properties = std::map<std::string, std::string>{};
    EXPECT_EQ(python(*log->serializeLog(false), "print('properties' in dict(doc))"), "False");
}

TEST(LogJson, StartServiceLogWritesServicesAndCollectorFlagOnlyWithServices) {
    StartServiceLog log;
    log.timestamp = kTime;
    EXPECT_EQ(python(*log.serializeLog(false), "print(keys(doc))"), "type,timestamp");
    log.services = std::vector<std::string>{"Analytics", "Crashes"};
    log.isCollectorEnabled = true;
    EXPECT_EQ(python(*log.serializeLog(false),
                     "print(keys(doc)); print(get(doc,'type'), get(doc,'services'), get(doc,'isCollectorEnabled'))"),
              "type,timestamp,services,isCollectorEnabled\nstartService ['Analytics', 'Crashes'] True");
}

TEST(LogJson, TypedPropertiesWriteTypeNameAndATypedValue) {
    using test::typedProperty;
    Json array = Json::array({typedProperty<BooleanTypedProperty>("on", true)->serializeToDictionary(),
                              typedProperty<DateTimeTypedProperty>("when", kTime)->serializeToDictionary(),
                              typedProperty<DoubleTypedProperty>("ratio", 0.25)->serializeToDictionary(),
                              // beyond a double's exact range
                              typedProperty<LongTypedProperty>("big", -9007199254740993LL)->serializeToDictionary(),
                              typedProperty<StringTypedProperty>("text", "a/b")->serializeToDictionary()});
    EXPECT_EQ(python(*jsonText(array, false),
                     "for p in doc: print(keys(p), get(p,'type'), get(p,'name'), repr(get(p,'value')))"),
              "type,name,value boolean on True\n"
              "type,name,value dateTime when '2024-03-01T17:05:09.042Z'\n"
              "type,name,value double ratio 0.25\n"
              "type,name,value long big -9007199254740993\n"
              "type,name,value string text 'a/b'");
}

TEST(LogJson, ContainerBodyListsLogsInOrderWithBareSlashes) {
    auto first = std::make_shared<LogWithProperties>();
    first->type = "event";
    first->timestamp = kTime;
    first->properties = std::map<std::string, std::string>{
        {"url", "https://zelvo.example/a/b"}, {"backslashSlash", "x\\/y"}, {"quote", "say \"hi\""}};
    auto second = minimalLog();
    LogContainer container("batch", {first, nullptr, second});

    for (bool pretty : {false, true}) {
        auto body = container.serializeLog(pretty);
        ASSERT_TRUE(body);
        EXPECT_NE(body->find("https://zelvo.example/a/b"), std::string::npos);
        EXPECT_EQ(python(*body, "print(keys(doc)); logs=get(doc,'logs'); print(len(logs));"
                                "p=dict(get(logs[0],'properties')); print(p['url']); print(p['backslashSlash']);"
                                "print(p['quote']); print(get(logs[1],'type'))"),
                  "logs\n2\nhttps://zelvo.example/a/b\nx\\/y\nsay \"hi\"\ncustom");
    }
    EXPECT_EQ(container.serializeLog(true)->find('\n') != std::string::npos, true);
    EXPECT_EQ(container.serializeLog(false)->find('\n'), std::string::npos);
}

TEST(LogJson, ContainerWithDamagedTextIsSentRepairedAndSaysWhy) {
    LogCapture capture;
    auto log = minimalLog();
    log->userId = std::string("bad \xFF byte");
    LogContainer container("batch", {log});
    // One damaged text must not empty the whole batch.
    const auto body = container.serializeLog(false);
    ASSERT_TRUE(body);
    EXPECT_NE(body->find("bad \xEF\xBF\xBD byte"), std::string::npos);
    const std::string reason = "Couldn't serialize log container to json: ";
    bool logged = false;
    for (const auto& line : capture.lines())
        logged |= line.find("] ERROR: ") != std::string::npos && line.find(" " + reason) != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST(LogJson, EscapedSlashRewriteTouchesOnlyRealEscapes) {
    // Text as an encoder that escapes slashes writes the string a/b\/c.
    EXPECT_EQ(removeEscapedSlashes(R"({"k":"a\/b\\\/c"})"), R"({"k":"a/b\\/c"})");
    // The string x\/ written without slash escapes stays as it is.
    EXPECT_EQ(removeEscapedSlashes(R"(["x\\/"])"), R"(["x\\/"])");
    EXPECT_EQ(python(removeEscapedSlashes(R"({"k":"a\/b\\\/c"})"), "print(get(doc,'k'))"), "a/b\\/c");
}
