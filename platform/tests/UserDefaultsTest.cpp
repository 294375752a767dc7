#include "platform/UserDefaults.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

using namespace platform;
namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path;
    TempDir() {
        char tmpl[] = "/tmp/zelvo-defaults-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
};
} // namespace

TEST(UserDefaults, KeepsAbsentFalseAndStringApartAcrossRestarts) {
    TempDir dir;
    auto file = dir.path / "zelvo" / "preferences.json";
    {
        UserDefaults d(file);
        EXPECT_FALSE(d.object("showInDock").has_value());
        d.set("showInDock", false);
        d.set("name", "false");
        d.set("sortingCriterion", 0);
        d.set("ratio", 0.5);
        d.set("FloatingPanelFrame", Value::Data{0, 1, 2, 254, 255});
        d.set("list", Value::Array{Value(1), Value("two"), Value(true)});
        d.set("dict", Value::Dictionary{{"a", Value(1.25)}});
    }
    UserDefaults d(file);
    ASSERT_TRUE(d.object("showInDock").has_value());
    EXPECT_EQ(d.object("showInDock")->asBool(), false);
    EXPECT_TRUE(d.object("name")->isString());
    EXPECT_FALSE(d.object("name")->isBool());
    EXPECT_TRUE(d.object("sortingCriterion")->isInteger());
    EXPECT_EQ(d.integerForKey("sortingCriterion"), 0);
    EXPECT_TRUE(d.object("ratio")->isDouble());
    EXPECT_EQ(d.dataForKey("FloatingPanelFrame"), (Value::Data{0, 1, 2, 254, 255}));
    EXPECT_EQ(*d.object("list"), Value(Value::Array{Value(1), Value("two"), Value(true)}));
    EXPECT_EQ(*d.object("dict"), Value(Value::Dictionary{{"a", Value(1.25)}}));
    EXPECT_FALSE(d.object("missing"));

    // The file is plain JSON that other tools can read.
    std::ifstream in(file);
    auto json = nlohmann::json::parse(in);
    EXPECT_EQ(json["showInDock"], false);
    EXPECT_EQ(json["FloatingPanelFrame"]["$data"], "AAEC/v8=");
}

TEST(UserDefaults, RegistrationDomainAnswersOnlyForAbsentKeys) {
    UserDefaults d;
    d.registerDefaults({{"DoNotHideWhenHotkeyIsReleased", true}});
    EXPECT_TRUE(d.boolForKey("DoNotHideWhenHotkeyIsReleased"));
    EXPECT_FALSE(d.storedObject("DoNotHideWhenHotkeyIsReleased"));
    d.set("DoNotHideWhenHotkeyIsReleased", false);
    EXPECT_FALSE(d.boolForKey("DoNotHideWhenHotkeyIsReleased"));
    d.remove("DoNotHideWhenHotkeyIsReleased");
    EXPECT_TRUE(d.boolForKey("DoNotHideWhenHotkeyIsReleased"));
}

TEST(UserDefaults, CorruptFileIsMovedAsideNotDeleted) {
    TempDir dir;
    auto file = dir.path / "preferences.json";
    std::ofstream(file) << "{ \"isPinned\": tru";
    UserDefaults d(file);
    EXPECT_FALSE(d.object("isPinned"));
    int aside = 0;
    for (auto& entry : fs::directory_iterator(dir.path)) {
        if (entry.path().filename().string().rfind("preferences.json.corrupt-", 0) == 0) {
            ++aside;
            std::ifstream in(entry.path());
            std::string content((std::istreambuf_iterator<char>(in)), {});
            EXPECT_EQ(content, "{ \"isPinned\": tru");
        }
    }
    EXPECT_EQ(aside, 1);
    d.set("isPinned", true);
    EXPECT_TRUE(UserDefaults(file).boolForKey("isPinned"));
}

TEST(UserDefaults, ObservationWithInitialAndNewValues) {
    UserDefaults d;
    d.set("isPinned", true);
    std::vector<KeyValueChange> changes;
    auto id = d.observe("isPinned", {.initial = true, .newValue = true},
                        [&](const KeyValueChange& c) { changes.push_back(c); });
    d.set("other", 1);
    d.set("isPinned", false);
    d.remove("isPinned");
    d.removeObservation(id);
    d.set("isPinned", true);

    ASSERT_EQ(changes.size(), 3u);
    EXPECT_TRUE(changes[0].initial);
    EXPECT_EQ(changes[0].newValue, Value(true));
    EXPECT_EQ(changes[1].newValue, Value(false));
    EXPECT_EQ(changes[1].oldValue, Value(true));
    EXPECT_FALSE(changes[2].newValue.has_value());
}

TEST(UserDefaults, UnwritableLocationKeepsValuesInMemory) {
    UserDefaults d(fs::path("/proc/zelvo-cannot-exist/preferences.json"));
    d.set("isPinned", true);
    EXPECT_TRUE(d.boolForKey("isPinned"));
    EXPECT_FALSE(d.synchronize());
}

TEST(UserDefaults, WithAWriteQueueChangesAreWrittenThereTogether) {
    TempDir dir;
    const auto file = dir.path / "preferences.json";
    auto stored = [&] {
        std::ifstream in(file);
        return nlohmann::json::parse(in, nullptr, false);
    };
    ManualScheduler scheduler;
    {
        UserDefaults d(file, scheduler.makeSerialQueue("preferences"));
        d.set("isPinned", true);
        d.set("sortingCriterion", 2);
        d.remove("isPinned");
        EXPECT_FALSE(fs::exists(file)); // the caller did not wait for the disk
        EXPECT_EQ(scheduler.runUntilIdle(), 1u);
        EXPECT_EQ(stored(), nlohmann::json({{"sortingCriterion", 2}}));
        d.set("sortingCriterion", 3);
        EXPECT_TRUE(d.synchronize());
        EXPECT_EQ(stored(), nlohmann::json({{"sortingCriterion", 3}}));
        d.set("isPinned", false);
    } // the queued write runs before the store goes
    EXPECT_EQ(stored(), nlohmann::json({{"isPinned", false}, {"sortingCriterion", 3}}));
}
