#include "beacon/archive/ArchiveWriter.h"
#include "beacon/archive/ArchiverUtil.h"
#include "beacon/model/BooleanTypedProperty.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/DateTimeTypedProperty.h"
#include "beacon/model/DoubleTypedProperty.h"
#include "beacon/model/LogContainer.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/model/LongTypedProperty.h"
#include "beacon/model/StartServiceLog.h"
#include "beacon/model/StringTypedProperty.h"
#include "beacon/model/tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono;

namespace {

const Date kTime = sys_days{2024y / March / 1} + 17h + 5min + 9s + 42ms + 7us;

// A log of class T with every field of the base set.
template <typename T> std::shared_ptr<T> filledLog() {
    auto log = std::make_shared<T>();
    log->type = "t";
    log->timestamp = kTime;
    log->sid = "s";
    log->distributionGroupId = "g";
    log->userId = "u";
    log->dataResidencyRegion = "eu";
    log->device = std::make_shared<Device>(test::fullDevice());
    return log;
}

std::shared_ptr<CommonSchemaLog> fullCommonSchemaLog() {
    auto base = filledLog<AbstractLog>();
    base->addTransmissionTargetToken("abc-1");
    auto cs = base->toCommonSchemaLog("abc-1", kLogFlagsCritical);
    cs->name = "Zelvo.Event";
    cs->popSample = 12.5;
    cs->cV = "cv.1";
    cs->ext->metadataExt = std::make_shared<MetadataExtension>();
    cs->ext->metadataExt->metadata["f"] = Json{{"b", 1}, {"a", Json::array({1, 2})}};
    cs->ext->protocolExt->ticketKeys = std::vector<std::string>{"k1", "k2"};
    cs->ext->deviceExt->localId = "d";
    cs->ext->appExt->name = "Zelvo";
    cs->ext->appExt->userId = "u";
    cs->ext->sdkExt->epoch = "e";
    cs->ext->sdkExt->seq = 9;
    cs->ext->sdkExt->installId = "3f2c6a1e-0b7d-4e8a-9c1f-2d3e4f5a6b7c";
    cs->data = std::make_shared<CSData>();
    cs->data->properties.setObject("EventData", "baseType");
    cs->data->properties.setObject(Json{{"x", nullptr}}, "z");
    cs->data->properties.setObject(-1, "a");
    return cs;
}

// Every class of the model, each with every field set.
std::vector<std::shared_ptr<ModelObject>> everyModelObject() {
    std::vector<std::shared_ptr<ModelObject>> all;
    auto abstractLog = filledLog<AbstractLog>();
    all.push_back(abstractLog);
    auto withProperties = filledLog<LogWithProperties>();
    withProperties->properties = std::map<std::string, std::string>{{"k", "v/w"}};
    all.push_back(withProperties);
    auto start = filledLog<StartServiceLog>();
    start->services = std::vector<std::string>{"Analytics", "Crashes"};
    start->isCollectorEnabled = true;
    all.push_back(start);
    all.push_back(std::make_shared<WrapperSdk>("1", "n", "r", "l", "k", "h"));
    all.push_back(std::make_shared<Device>(test::fullDevice()));
    auto typed = std::make_shared<TypedProperty>();
    typed->type = "custom";
    typed->name = "p";
    all.push_back(typed);
    all.push_back(test::typedProperty<BooleanTypedProperty>("b", true));
    all.push_back(test::typedProperty<DateTimeTypedProperty>("d", kTime));
    all.push_back(test::typedProperty<DoubleTypedProperty>("x", 0.1));
    all.push_back(test::typedProperty<LongTypedProperty>("l", std::numeric_limits<std::int64_t>::min()));
    all.push_back(test::typedProperty<StringTypedProperty>("s", "text"));
    auto cs = fullCommonSchemaLog();
    all.push_back(cs);
    all.push_back(cs->ext);
    all.push_back(cs->data);
    for (std::shared_ptr<ModelObject> ext : std::initializer_list<std::shared_ptr<ModelObject>>{
             cs->ext->metadataExt, cs->ext->protocolExt, cs->ext->userExt, cs->ext->deviceExt, cs->ext->osExt,
             cs->ext->appExt, cs->ext->netExt, cs->ext->sdkExt, cs->ext->locExt})
        all.push_back(ext);
    all.push_back(
        std::make_shared<LogContainer>("batch", std::vector<std::shared_ptr<AbstractLog>>{abstractLog, start, cs}));
    return all;
}

// A log class the telemetry core does not know.
struct ForeignLog : AbstractLog {
    static constexpr std::string_view kClassName = "ForeignLog";
    std::string_view className() const override { return kClassName; }
};

class ModelArchive : public ::testing::Test {
protected:
    void SetUp() override { ArchiverUtil::addAllowedBeaconModuleClasses(); }
};

} // namespace

TEST_F(ModelArchive, EveryClassRoundTripsToAnEqualObjectOfItsOwnClass) {
    for (const auto& object : everyModelObject()) {
        SCOPED_TRACE(std::string(object->className()));
        auto bytes = ArchiverUtil::archiveKeyedData(*object);
        ASSERT_TRUE(bytes);
        auto back = ArchiverUtil::unarchive<ModelObject>(*bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->className(), object->className());
        EXPECT_TRUE(back->isEqual(*object));
        EXPECT_EQ(back->serializeToDictionary(), object->serializeToDictionary());
    }
}

TEST_F(ModelArchive, EqualityComparesEachFieldAndTreatsAbsentAsEqual) {
    // Equal distinct objects of every class: see the round trip above.
    AbstractLog a, b;
    EXPECT_TRUE(a.isEqual(b)); // all absent
    a.device = std::make_shared<Device>();
    EXPECT_FALSE(a.isEqual(b));
    b.device = std::make_shared<Device>();
    EXPECT_TRUE(a.isEqual(b));
    b.device->locale = "en";
    EXPECT_FALSE(a.isEqual(b));
    a.device->locale = "en";
    a.tag = std::make_shared<int>(1);
    a.addTransmissionTargetToken("t");
    EXPECT_TRUE(a.isEqual(b)); // neither tag nor tokens take part

    StartServiceLog start;
    start.timestamp = kTime;
    AbstractLog plain;
    plain.type = start.type;
    plain.timestamp = kTime;
    EXPECT_FALSE(plain.isEqual(start) && start.isEqual(plain)); // another class family

    auto cs1 = fullCommonSchemaLog(), cs2 = fullCommonSchemaLog();
    cs2->data->properties.setObject(-2, "a");
    EXPECT_FALSE(cs1->isEqual(*cs2));
    cs2 = fullCommonSchemaLog();
    cs2->ext->sdkExt->seq = 10;
    EXPECT_FALSE(cs1->isEqual(*cs2));
    cs2 = fullCommonSchemaLog();
    cs2->popSample = 1; // archived only, still part of equality
    EXPECT_FALSE(cs1->isEqual(*cs2));
}

TEST_F(ModelArchive, UnknownClassesAreRefusedEvenInsideAContainer) {
    ForeignLog foreign;
    foreign.type = "foreign";
    auto refused = ArchiverUtil::unarchiveKeyedData(*ArchiverUtil::archiveKeyedData(foreign));
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.error, "The class \"ForeignLog\" is not allowed to be unarchived.");

    auto known = std::make_shared<AbstractLog>();
    LogContainer container("b", {known, std::make_shared<ForeignLog>()});
    EXPECT_FALSE(ArchiverUtil::unarchive<LogContainer>(*ArchiverUtil::archiveKeyedData(container)));

    // Once allowed, it reads back as itself.
    ArchiverUtil::addAllowedClasses({ArchiveClass::of<ForeignLog>()});
    auto back = ArchiverUtil::unarchive<AbstractLog>(*ArchiverUtil::archiveKeyedData(foreign));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->className(), "ForeignLog");
}

TEST_F(ModelArchive, AFieldOfTheWrongClassIsRefused) {
    // A device field holding a wrapper description (its base class) is not a device.
    AbstractLog log;
    log.type = "t";
    Json fields = ArchiveWriter::objectValue(log);
    fields["device"] = ArchiveWriter::objectValue(WrapperSdk("1", {}, {}, {}, {}, {}));
    Json archive = {{"format", "beacon.archive"}, {"version", 1}, {"root", fields}};
    auto result = ArchiverUtil::unarchiveKeyedData(Json::to_cbor(archive));
    EXPECT_FALSE(result.ok());
}
