#include "app/settings/TelemetryToggle.h"

#include "app/core/Telemetry.h"
#include "platform/linux/qt/testing/TestApplication.h"

#include <gtest/gtest.h>

namespace app {
namespace {

class FakeSwitch : public TelemetrySwitch {
public:
    bool isEnabled() const override { return enabled; }
    void setEnabled(bool value) override {
        enabled = value;
        ++changes;
    }
    bool isForcedOff() const override { return forcedOff; }

    bool enabled = true;
    bool forcedOff = false;
    int changes = 0;
};

TEST(TelemetryToggleTest, ShowsAndChangesTheSwitch) {
    platform::qt::testApplication();
    FakeSwitch telemetry;
    TelemetryToggle toggle(&telemetry);
    EXPECT_EQ(toggle.text(), QStringLiteral("Share anonymous usage data and crash reports"));
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_TRUE(toggle.isEnabled());

    toggle.click();
    EXPECT_FALSE(telemetry.enabled);
    toggle.click();
    EXPECT_TRUE(telemetry.enabled);
    EXPECT_EQ(telemetry.changes, 2);

    // Changed elsewhere (or turned off by the environment): shown on refresh, never written back.
    telemetry.enabled = false;
    telemetry.forcedOff = true;
    toggle.refresh();
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_FALSE(toggle.isEnabled());
    EXPECT_EQ(telemetry.changes, 2);
}

TEST(TelemetryToggleTest, WithoutTelemetryItIsOffAndGreyedOut) {
    platform::qt::testApplication();
    TelemetryToggle toggle(nullptr);
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_FALSE(toggle.isEnabled());
}

} // namespace
} // namespace app
