#include "beacon/archive/ArchiverUtil.h"
#include "beacon/archive/CborNesting.h"
#include "beacon/archive/Json.h"

#include <gtest/gtest.h>

using namespace beacon;
using Bytes = std::vector<std::uint8_t>;

namespace {

Json nested(int depth) {
    Json value = 1;
    for (int i = 0; i < depth; ++i) value = Json::array({value});
    return value;
}

} // namespace

TEST(CborNesting, AcceptsWellFormedItemsWithinTheLimit) {
    Json doc = {{"s", "text"},
                {"n", -12345678901LL},
                {"d", 0.5},
                {"b", true},
                {"z", nullptr},
                {"e", Json::array()},
                {"m", Json::object()},
                {"bin", Json::binary({1, 2, 3})},
                {"deep", nested(9)}};
    auto bytes = Json::to_cbor(doc);
    EXPECT_TRUE(cborNestingWithin(bytes, 10)); // map + nine arrays
    EXPECT_FALSE(cborNestingWithin(bytes, 9));
    // Indefinite-length forms: [_ 1, [2]] and (_ "ab" "c") as a map value.
    EXPECT_TRUE(cborNestingWithin(Bytes{0x9F, 0x01, 0x81, 0x02, 0xFF}, 2));
    EXPECT_TRUE(cborNestingWithin(Bytes{0xA1, 0x61, 0x6B, 0x7F, 0x62, 0x61, 0x62, 0x61, 0x63, 0xFF}, 1));
    EXPECT_TRUE(cborNestingWithin(Bytes{0xC1, 0x1A, 0x5F, 0x00, 0x00, 0x00}, 1)); // tagged time
}

TEST(CborNesting, RefusesCutTrailingOrMalformedItems) {
    auto bytes = Json::to_cbor(Json{{"k", Json::array({1, 2, 3})}});
    Bytes cut(bytes.begin(), bytes.end() - 1);
    EXPECT_FALSE(cborNestingWithin(cut, 8));
    Bytes trailing = bytes;
    trailing.push_back(0x01);
    EXPECT_FALSE(cborNestingWithin(trailing, 8));
    EXPECT_FALSE(cborNestingWithin(Bytes{}, 8));
    EXPECT_FALSE(cborNestingWithin(Bytes{0xFF}, 8));             // a break outside any container
    EXPECT_FALSE(cborNestingWithin(Bytes{0x82, 0x01, 0xFF}, 8)); // a break in a definite array
    EXPECT_FALSE(cborNestingWithin(Bytes{0x1C}, 8));             // reserved additional information
    EXPECT_FALSE(cborNestingWithin(Bytes{0x5B, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 8));
}

TEST(CborNesting, ADeeplyNestedArchiveIsRefusedWithoutExhaustingTheStack) {
    Bytes hostile = Json::to_cbor(Json{{"format", "beacon.archive"}, {"version", 1}});
    hostile[0] = 0xA3; // three entries: the third is "root"
    for (char c : std::string("\x64root")) hostile.push_back(static_cast<std::uint8_t>(c));
    hostile.insert(hostile.end(), 1'000'000, 0x81); // a million nested one-element arrays
    hostile.push_back(0x01);
    EXPECT_FALSE(cborNestingWithin(hostile, 128));
    auto result = ArchiverUtil::unarchiveKeyedData(hostile);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, "The data is not an archive, or nests too deeply.");
}
