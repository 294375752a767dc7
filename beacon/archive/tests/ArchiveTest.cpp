#include "beacon/archive/ArchiveFormat.h"
#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/archive/ArchiverUtil.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace beacon;

namespace {

// A small class family standing in for the model: a base with every kind of
// field, a subclass adding a nested object and a list of them.
struct Sample : Archivable {
    static constexpr std::string_view kClassName = "ArchiveTestSample";
    std::optional<std::string> text;
    std::optional<std::int64_t> count;
    std::optional<double> ratio;
    std::optional<bool> flag;
    std::optional<Date> when;
    std::optional<std::vector<std::string>> names;
    std::optional<std::map<std::string, std::string>> labels;
    std::optional<Json> content;

    std::string_view className() const override { return kClassName; }
    void encode(ArchiveWriter& w) const override {
        w.encodeString("text", text);
        w.encodeInt64("count", count);
        w.encodeDouble("ratio", ratio);
        w.encodeBool("flag", flag);
        w.encodeDate("when", when);
        w.encodeStrings("names", names);
        w.encodeStringMap("labels", labels);
        if (content) w.encodeJson("content", *content);
    }
    void decode(ArchiveReader& r) override {
        text = r.decodeString("text");
        count = r.decodeInt64("count");
        ratio = r.decodeDouble("ratio");
        flag = r.decodeBool("flag");
        when = r.decodeDate("when");
        names = r.decodeStrings("names");
        labels = r.decodeStringMap("labels");
        content = r.decodeJson("content");
    }
};

struct Holder : Sample {
    static constexpr std::string_view kClassName = "ArchiveTestHolder";
    std::shared_ptr<Sample> child;
    std::optional<std::vector<std::shared_ptr<Sample>>> children;

    std::string_view className() const override { return kClassName; }
    void encode(ArchiveWriter& w) const override {
        Sample::encode(w);
        w.encodeObject("child", child);
        if (children) w.encodeObjects("children", *children);
    }
    void decode(ArchiveReader& r) override {
        Sample::decode(r);
        child = r.decodeObject<Sample>("child");
        children = r.decodeObjects<Sample>("children");
    }
};

// A class that is never put on the allow-list.
struct Stranger : Sample {
    static constexpr std::string_view kClassName = "ArchiveTestStranger";
    std::string_view className() const override { return kClassName; }
};

class ArchiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ArchiverUtil::addAllowedClasses({ArchiveClass::of<Sample>(), ArchiveClass::of<Holder>()});
    }
    static std::shared_ptr<Sample> fullSample() {
        auto s = std::make_shared<Sample>();
        s->text = "a/b \"q\" \xC3\xA9";
        s->count = std::numeric_limits<std::int64_t>::min();
        s->ratio = 0.1;
        s->flag = false;
        s->when = Date{} + std::chrono::nanoseconds(1'700'000'000'123'456'789LL);
        s->names = std::vector<std::string>{"b", "a", ""};
        s->labels = std::map<std::string, std::string>{{"k", "v"}, {"", "empty"}};
        s->content = Json{{"z", 1}, {"$class", "not an object, just data"}, {"a", Json::array({1.5, nullptr, "x"})}};
        return s;
    }
    static void expectSame(const Sample& a, const Sample& b) {
        auto fields = [](const Sample& s) {
            return std::tie(s.text, s.count, s.ratio, s.flag, s.when, s.names, s.labels, s.content);
        };
        EXPECT_TRUE(fields(a) == fields(b)) << a.text.value_or("") << " / " << b.text.value_or("");
    }
    static Json decodeCbor(const ArchiverUtil::Bytes& bytes) { return Json::from_cbor(bytes); }
};

} // namespace

TEST_F(ArchiveTest, RoundTripsEveryKindOfFieldExactly) {
    auto sample = fullSample();
    auto bytes = ArchiverUtil::archiveKeyedData(*sample);
    ASSERT_TRUE(bytes);
    auto back = ArchiverUtil::unarchive<Sample>(*bytes);
    ASSERT_TRUE(back);
    expectSame(*sample, *back);
    // Key order of free JSON content survives.
    EXPECT_EQ(back->content->begin().key(), "z");

    // Unset fields stay unset.
    auto empty = ArchiverUtil::unarchive<Sample>(*ArchiverUtil::archiveKeyedData(Sample{}));
    ASSERT_TRUE(empty);
    expectSame(*empty, Sample{});
}

TEST_F(ArchiveTest, RecordsClassNamesSoNestedObjectsComeBackAsTheirOwnClass) {
    auto holder = std::make_shared<Holder>();
    holder->text = "outer";
    holder->child = std::make_shared<Holder>(); // a subclass where the base is expected
    holder->child->text = "inner";
    holder->children = std::vector<std::shared_ptr<Sample>>{fullSample(), nullptr, std::make_shared<Sample>()};

    auto bytes = ArchiverUtil::archiveKeyedData(*holder);
    ASSERT_TRUE(bytes);
    Json raw = decodeCbor(*bytes);
    EXPECT_EQ(raw[archive_format::kFormatKey], "beacon.archive");
    EXPECT_EQ(raw[archive_format::kVersionKey], 1);
    EXPECT_EQ(raw["root"]["$class"], "ArchiveTestHolder");
    EXPECT_EQ(raw["root"]["child"]["$class"], "ArchiveTestHolder");

    auto back = ArchiverUtil::unarchive<Holder>(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text, "outer");
    ASSERT_TRUE(std::dynamic_pointer_cast<Holder>(back->child));
    EXPECT_EQ(back->child->text, "inner");
    ASSERT_TRUE(back->children);
    ASSERT_EQ(back->children->size(), 3u);
    expectSame(*(*back->children)[0], *fullSample());
    EXPECT_EQ((*back->children)[1], nullptr);

    // Asking for the wrong class gives nothing.
    EXPECT_FALSE(ArchiverUtil::unarchive<Holder>(*ArchiverUtil::archiveKeyedData(Sample{})));
}

TEST_F(ArchiveTest, ArraysOfObjectsAsRoot) {
    std::vector<std::shared_ptr<Sample>> list{fullSample(), std::make_shared<Holder>()};
    auto bytes = ArchiverUtil::archiveKeyedData(list);
    ASSERT_TRUE(bytes);
    auto back = ArchiverUtil::unarchiveArray<Sample>(*bytes);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<Holder>((*back)[1]));
    EXPECT_FALSE(ArchiverUtil::unarchive<Sample>(*bytes));      // not a single object
    EXPECT_FALSE(ArchiverUtil::unarchiveArray<Holder>(*bytes)); // first element is no Holder
    auto none = ArchiverUtil::archiveKeyedData(std::vector<std::shared_ptr<Sample>>{});
    ASSERT_TRUE(ArchiverUtil::unarchiveArray<Sample>(*none));
    EXPECT_TRUE(ArchiverUtil::unarchiveArray<Sample>(*none)->empty());
}

TEST_F(ArchiveTest, RefusesClassesOffTheAllowListWhereverTheyAppear) {
    EXPECT_FALSE(ArchiverUtil::isAllowedClass("ArchiveTestStranger"));
    auto result = ArchiverUtil::unarchiveKeyedData(*ArchiverUtil::archiveKeyedData(Stranger{}));
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, "The class \"ArchiveTestStranger\" is not allowed to be unarchived.");
    EXPECT_FALSE(result.object);

    Holder holder;
    holder.text = "fine";
    holder.children = std::vector<std::shared_ptr<Sample>>{std::make_shared<Sample>(), std::make_shared<Stranger>()};
    result = ArchiverUtil::unarchiveKeyedData(*ArchiverUtil::archiveKeyedData(holder));
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.object); // refused as a whole, not half read
    EXPECT_NE(result.error.find("ArchiveTestStranger"), std::string::npos);

    auto list = ArchiverUtil::archiveKeyedData(std::vector<std::shared_ptr<Sample>>{std::make_shared<Stranger>()});
    EXPECT_FALSE(ArchiverUtil::unarchiveArray<Sample>(*list));
}

TEST_F(ArchiveTest, RefusesDamagedOrForeignData) {
    auto good = *ArchiverUtil::archiveKeyedData(*fullSample());
    auto withRoot = [&](auto edit) {
        Json raw = decodeCbor(good);
        edit(raw);
        return ArchiverUtil::unarchiveKeyedData(Json::to_cbor(raw));
    };

    EXPECT_FALSE(ArchiverUtil::unarchiveKeyedData(std::vector<std::uint8_t>{}).ok());
    auto cut = good;
    cut.resize(cut.size() / 2);
    EXPECT_FALSE(ArchiverUtil::unarchiveKeyedData(cut).ok());
    EXPECT_FALSE(ArchiverUtil::unarchiveKeyedData(Json::to_cbor(Json{{"root", 1}})).ok());
    EXPECT_EQ(withRoot([](Json& j) { j["version"] = 2; }).error, "The archive has an unsupported version.");
    EXPECT_FALSE(withRoot([](Json& j) { j["root"].erase("$class"); }).ok());
    auto wrong = withRoot([](Json& j) { j["root"]["count"] = "12"; });
    EXPECT_EQ(wrong.error, "The value for key \"count\" of ArchiveTestSample is not a signed 64-bit integer.");
    EXPECT_FALSE(withRoot([](Json& j) { j["root"]["count"] = 18446744073709551615ULL; }).ok());
    EXPECT_FALSE(withRoot([](Json& j) { j["root"]["when"] = 5; }).ok());
    EXPECT_FALSE(withRoot([](Json& j) { j["root"]["names"] = Json::array({"a", 1}); }).ok());
    EXPECT_FALSE(withRoot([](Json& j) { j["root"]["labels"] = Json{{"a", 1}}; }).ok());
    EXPECT_FALSE(withRoot([](Json& j) { j["root"]["content"] = Json::object(); }).ok());
    EXPECT_TRUE(withRoot([](Json& j) { j["root"]["unknownKey"] = 1; }).ok()); // newer fields are ignored
}

TEST_F(ArchiveTest, RefusesObjectsNestedBeyondTheDepthLimit) {
    auto make = [](int depth) {
        auto top = std::make_shared<Holder>();
        auto at = top;
        for (int i = 1; i < depth; ++i) {
            auto next = std::make_shared<Holder>();
            at->child = next;
            at = next;
        }
        return top;
    };
    EXPECT_TRUE(ArchiverUtil::unarchive<Holder>(*ArchiverUtil::archiveKeyedData(*make(archive_format::kMaxDepth))));
    auto deep = ArchiverUtil::unarchiveKeyedData(*ArchiverUtil::archiveKeyedData(*make(archive_format::kMaxDepth + 1)));
    EXPECT_FALSE(deep.ok());
}
