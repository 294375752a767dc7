#pragma once

#include "Hotkeys/core/CarbonHotkeys.h"
#include "Hotkeys/core/KeyboardLayout.h"
#include "Hotkeys/core/Name.h"
#include "Hotkeys/core/Services.h"
#include "Hotkeys/testing/FakeHotKeyService.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/headless/HeadlessEventSource.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

// Fresh shortcut state over headless services for every test.
class HotkeysTest : public ::testing::Test {
protected:
    // Services a test needs beyond these, set before they are installed.
    virtual void addServices(Hotkeys::Services&) {}

    void SetUp() override {
        Hotkeys::Services s;
        s.defaults = &defaults;
        s.notificationCenter = &center;
        s.scheduler = &scheduler;
        s.hotKeyService = &service;
        s.keyboardLayout = &layout;
        s.menuEventSource = &menuEvents;
        s.menuNotificationCenter = &center;
        addServices(s);
        Hotkeys::install(s);
    }
    void TearDown() override { Hotkeys::install({}); }

    std::size_t recordCount() const { return Hotkeys::CarbonHotkeys::hotKeyTable().size(); }

    platform::ManualScheduler scheduler;
    platform::UserDefaults defaults;
    platform::NotificationCenter center;
    Hotkeys::FakeHotKeyService service;
    Hotkeys::UsKeyboardLayout layout;
    platform::HeadlessEventSource menuEvents;
};

inline constexpr std::uint32_t kOption = 0x800;
inline constexpr std::uint32_t kCommand = 0x100;
inline constexpr std::uint32_t kShift = 0x200;
inline constexpr std::uint32_t kControl = 0x1000;
