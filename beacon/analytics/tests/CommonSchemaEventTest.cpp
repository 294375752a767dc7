#include "beacon/analytics/model/EventLog.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/testing/SampleDevices.h"
#include "beacon/util/tests/LogCapture.h"

#include <gtest/gtest.h>

using namespace beacon;

namespace {

std::shared_ptr<EventLog> event(EventProperties properties) {
    auto log = std::make_shared<EventLog>();
    log->name = "app.click";
    log->eventId = "E1";
    log->timestamp = Date{};
    log->typedProperties = std::make_shared<EventProperties>(std::move(properties));
    return log;
}

std::shared_ptr<CommonSchemaLog> convert(const std::shared_ptr<EventLog>& log) {
    auto tag = std::make_shared<int>(1);
    log->tag = tag;
    auto cs = log->toCommonSchemaLog("abc-token", kLogFlagsNormal);
    EXPECT_EQ(cs->name, "app.click");
    EXPECT_EQ(cs->iKey, "o:abc");
    EXPECT_EQ(cs->tag, tag);
    return cs;
}

Json dataOf(const CommonSchemaLog& cs) { return cs.data ? cs.data->serializeToDictionary() : Json::object(); }
Json metadataOf(const CommonSchemaLog& cs) {
    return cs.ext && cs.ext->metadataExt ? cs.ext->metadataExt->metadata : Json::object();
}

} // namespace

TEST(CommonSchemaEvent, DottedNamesNestAndTypedValuesGetMetadata) {
    EventProperties p;
    p.setInt64(7, "a.b").setString("x", "a.c").setDouble(1.5, "d").setBool(true, "e");
    p.setDate(Date{} + std::chrono::hours(24), "t");
    auto cs = convert(event(p));
    EXPECT_EQ(dataOf(*cs), Json::parse(R"({"a":{"b":7,"c":"x"},"d":1.5,"e":true,"t":"1970-01-02T00:00:00.000Z"})"));
    EXPECT_EQ(metadataOf(*cs), Json::parse(R"({"f":{"a":{"f":{"b":4}},"d":6,"t":9}})"));
}

// A name that is both a value and an object prefix: whichever comes second
// is dropped with a warning, and leaves no metadata behind.
TEST(CommonSchemaEvent, ValueAndObjectPrefixConflictKeepsTheFirst) {
    struct Case {
        std::vector<std::string> names;
        const char* data;
        const char* metadata;
    } cases[] = {
        {{"x", "x.y"}, R"({"x":1})", R"({"f":{"x":4}})"},
        {{"x.y", "x"}, R"({"x":{"y":1}})", R"({"f":{"x":{"f":{"y":4}}}})"},
        {{"x.y", "x.y.z", "w"}, R"({"x":{"y":1},"w":3})", R"({"f":{"x":{"f":{"y":4}},"w":4}})"},
    };
    for (const auto& c : cases) {
        LogCapture logs;
        EventProperties p;
        std::int64_t value = 1;
        for (const auto& name : c.names) p.setInt64(value++, name);
        auto cs = convert(event(p));
        EXPECT_EQ(dataOf(*cs), Json::parse(c.data)) << c.names[1];
        EXPECT_EQ(metadataOf(*cs), Json::parse(c.metadata)) << c.names[1];
        EXPECT_EQ(logs.count("already has a value, choosing one."), 1u) << c.names[1];
    }
}

TEST(CommonSchemaEvent, BaseTypeAndBaseDataGoTogether) {
    struct Case {
        const char* what;
        std::function<void(EventProperties&)> fill;
        const char* data; // null: no data at all
        const char* warning;
    } cases[] = {
        {"both", [](EventProperties& p) { p.setString("T", "baseType").setString("v", "baseData.a"); },
         R"({"baseType":"T","baseData":{"a":"v"}})", nullptr},
        {"type without data", [](EventProperties& p) { p.setString("T", "baseType").setString("v", "other"); },
         R"({"other":"v"})", "baseType was set but baseData is missing."},
        {"data without type", [](EventProperties& p) { p.setString("v", "baseData.a").setString("v", "other"); },
         R"({"other":"v"})", "baseData was set but baseType is missing or invalid."},
        {"non-string type", [](EventProperties& p) { p.setInt64(1, "baseType").setString("v", "baseData.a"); }, nullptr,
         "baseData was set but baseType is missing or invalid."},
        {"type as object", [](EventProperties& p) { p.setString("v", "baseType.x"); }, nullptr,
         "baseType must not be an object."},
        {"data as value",
         [](EventProperties& p) {
             p.setString("T", "baseType").setString("v", "baseData.a").setString("w", "baseData");
         },
         R"({"baseType":"T","baseData":{"a":"v"}})", "baseData must be an object."},
    };
    for (const auto& c : cases) {
        LogCapture logs;
        EventProperties p;
        c.fill(p);
        auto log = event(p);
        auto cs = convert(log);
        if (c.data) EXPECT_EQ(dataOf(*cs), Json::parse(c.data)) << c.what;
        else EXPECT_FALSE(cs->data) << c.what;
        if (c.warning) EXPECT_EQ(logs.count(c.warning), 1u) << c.what;
        else EXPECT_EQ(logs.count("WARNING"), 0u) << c.what;
    }
}

TEST(CommonSchemaEvent, RemovalsChangeTheEventAndAnEventWithoutPropertiesHasNoData) {
    EventProperties p;
    p.setString("T", "baseType").setString("v", "other");
    auto log = event(p);
    convert(log);
    EXPECT_FALSE(log->typedProperties->property("baseType"));
    EXPECT_TRUE(log->typedProperties->property("other"));

    auto bare = event({});
    bare->typedProperties = nullptr;
    auto cs = convert(bare);
    EXPECT_FALSE(cs->data);
    EXPECT_FALSE(cs->ext->metadataExt);
}

TEST(EventLogModel, JsonValidityAndEquality) {
    auto log = event({});
    log->typedProperties->setInt64(3, "n").setString("s", "t");
    log->device = std::make_shared<Device>(test::fullDevice());
    auto json = log->serializeToDictionary();
    EXPECT_EQ(json["type"], "event");
    EXPECT_EQ(json["id"], "E1");
    EXPECT_EQ(json["name"], "app.click");
    EXPECT_EQ(json["typedProperties"],
              Json::parse(R"([{"type":"long","name":"n","value":3},{"type":"string","name":"t","value":"s"}])"));
    EXPECT_TRUE(log->isValid());

    auto other = event({});
    other->device = log->device;
    EXPECT_TRUE(log->isEqual(*other)); // typed properties take no part
    other->eventId = "E2";
    EXPECT_FALSE(log->isEqual(*other));
    other->eventId.reset();
    EXPECT_FALSE(other->isValid());

    EventProperties refused;
    refused.setDouble(INFINITY, "x").setDouble(NAN, "y").setString(std::nullopt, "z").setInt64(1, std::nullopt);
    EXPECT_TRUE(refused.isEmpty());
}
