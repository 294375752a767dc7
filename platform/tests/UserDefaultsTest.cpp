#include "platform/UserDefaults.h"
#include "platform/headless/ManualScheduler.h"
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

using namespace platform;
namespace fs = std::filesystem;

using zelvo::testing::readWholeFile;
using zelvo::testing::TemporaryFolder;

TEST(UserDefaults, KeepsAbsentFalseAndStringApartAcrossRestarts) {
    TemporaryFolder dir;
    auto file = dir.path / "zelvo" / "preferences.json";
    // Read back with its type: false, "false", 0 and 0.5 stay four kinds.
    const std::vector<std::pair<std::string, Value>> values = {
        {"showInDock", false},
        {"name", "false"},
        {"sortingCriterion", 0},
        {"ratio", 0.5},
        {"FloatingPanelFrame", Value::Data{0, 1, 2, 254, 255}},
        {"list", Value::Array{Value(1), Value("two"), Value(true)}},
        {"dict", Value::Dictionary{{"a", Value(1.25)}}},
    };
    {
        UserDefaults d(file);
        EXPECT_FALSE(d.object("showInDock").has_value());
        for (const auto& [key, value] : values) d.set(key, value);
    }
    UserDefaults d(file);
    for (const auto& [key, value] : values) EXPECT_EQ(d.object(key), value) << key;
    EXPECT_EQ(d.dataForKey("FloatingPanelFrame"), (Value::Data{0, 1, 2, 254, 255}));
    EXPECT_FALSE(d.object("missing"));

    // The file is plain JSON that other tools can read.
    auto json = nlohmann::json::parse(readWholeFile(file));
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
    TemporaryFolder dir;
    auto file = dir.path / "preferences.json";
    std::ofstream(file) << "{ \"isPinned\": tru";
    UserDefaults d(file);
    EXPECT_FALSE(d.object("isPinned"));
    int aside = 0;
    for (auto& entry : fs::directory_iterator(dir.path)) {
        if (entry.path().filename().string().rfind("preferences.json.corrupt-", 0) == 0) {
            ++aside;
            EXPECT_EQ(readWholeFile(entry.path()), "{ \"isPinned\": tru");
        }
    }
    EXPECT_EQ(aside, 1);
    d.set("isPinned", true);
    EXPECT_TRUE(UserDefaults(file).boolForKey("isPinned"));
}

TEST(UserDefaults, ObservationWithInitialAndNewValues) {
    UserDefaults d;
    d.set("isPinned", true);
    // Each change's key, new value, old value and initial mark.
    std::vector<std::tuple<std::string, std::optional<Value>, std::optional<Value>, bool>> changes;
    auto id = d.observe("isPinned", {.initial = true, .newValue = true}, [&](const KeyValueChange& c) {
        changes.emplace_back(c.key, c.newValue, c.oldValue, c.initial);
    });
    d.set("other", 1);
    d.set("isPinned", false);
    d.remove("isPinned");
    d.removeObservation(id);
    d.set("isPinned", true);

    EXPECT_EQ(changes, (decltype(changes){{"isPinned", true, std::nullopt, true},
                                          {"isPinned", false, true, false},
                                          {"isPinned", std::nullopt, false, false}}));
}

TEST(UserDefaults, UnwritableLocationKeepsValuesInMemory) {
    UserDefaults d(fs::path("/proc/zelvo-cannot-exist/preferences.json"));
    d.set("isPinned", true);
    EXPECT_TRUE(d.boolForKey("isPinned"));
    EXPECT_FALSE(d.synchronize());
}

TEST(UserDefaults, WithAWriteQueueChangesAreWrittenThereTogether) {
    TemporaryFolder dir;
    const auto file = dir.path / "preferences.json";
    auto stored = [&] { return nlohmann::json::parse(readWholeFile(file), nullptr, false); };
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
