#include "XvfbServer.h"

#include "Hotkeys/testing/HotkeysFixture.h"
#include "Hotkeys/linux/X11HotKeyService.h"
#include "Hotkeys/linux/XkbKeyboardLayout.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>
// xkb.h names a struct member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <chrono>
#include <cstdlib>
#include <memory>

using namespace Hotkeys;
using Hotkeys::x11::X11HotKeyService;
using Hotkeys::x11::x11KeycodeForCarbon;

namespace {

XvfbServer& server() {
    static XvfbServer s; // stopped at exit
    return s;
}

struct Connection {
    Connection() {
        c = xcb_connect(server().display().c_str(), nullptr);
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    }
    ~Connection() { xcb_disconnect(c); }
    xcb_connection_t* c;
    xcb_window_t root;
};

// A grab of `keycode` with exactly `modifiers` by `client`: 0 when granted,
// else the X error code.
int grabError(const Connection& client, std::uint16_t modifiers, xcb_keycode_t keycode) {
    auto cookie =
        xcb_grab_key_checked(client.c, 0, client.root, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t* error = xcb_request_check(client.c, cookie);
    const int code = error ? error->error_code : 0;
    std::free(error);
    return code;
}

// The shared shortcut fixture with the X11 service in place of the fake one.
class X11HotKeys : public HotkeysTest {
protected:
    void addServices(Services& s) override { s.hotKeyService = x11.get(); }
    void SetUp() override {
        ASSERT_TRUE(server().running()) << "Xvfb did not start";
        ASSERT_FALSE(xcb_connection_has_error(own.c));
        x11 = std::make_unique<X11HotKeyService>(own.c, own.root);
        HotkeysTest::SetUp();
    }
    void TearDown() override {
        HotkeysTest::TearDown();
        x11.reset();
    }

    // Feeds the service until `done` holds or two seconds pass.
    template <typename Done> bool pump(Done done) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done() && std::chrono::steady_clock::now() < until) {
            xcb_flush(own.c);
            while (xcb_generic_event_t* e = xcb_poll_for_event(own.c)) {
                x11->handleEvent(e);
                std::free(e);
            }
            usleep(5000);
        }
        return done();
    }

    Connection own;
    std::unique_ptr<X11HotKeyService> x11;
};

const Shortcut kAltTab(Key::tab, EventModifiers(platform::ModifierOption));

} // namespace

TEST_F(X11HotKeys, CarbonCodesMapToEvdevKeycodes) {
    EXPECT_EQ(x11KeycodeForCarbon(48), 23);  // Tab: evdev 15
    EXPECT_EQ(x11KeycodeForCarbon(0), 38);   // A: evdev 30
    EXPECT_EQ(x11KeycodeForCarbon(122), 67); // F1: evdev 59
    EXPECT_FALSE(x11KeycodeForCarbon(200));  // no such Carbon key
}

TEST_F(X11HotKeys, GrabHeldByAnotherClientIsRefusedAtOnce) {
    Connection other;
    // Another program holds Ctrl+Alt+F1 (with no locks).
    ASSERT_EQ(grabError(other, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, *x11KeycodeForCarbon(122)), 0);

    std::optional<EventHotKeyRef> ref;
    EXPECT_EQ(x11->registerEventHotKey(122, CarbonControl | CarbonOption, {CarbonHotkeys::signature, 1}, 0, ref),
              eventHotKeyExistsErr);
    EXPECT_FALSE(ref);
    EXPECT_EQ(x11->registerEventHotKey(48, CarbonOption, {CarbonHotkeys::signature, 2}, 0, ref), noErr);
    EXPECT_TRUE(ref);

    // And the other way round: our grab refuses the other client's.
    EXPECT_EQ(grabError(other, XCB_MOD_MASK_1 | XCB_MOD_MASK_2, *x11KeycodeForCarbon(48)), 10); // BadAccess

    // Through the registration layer: refused, no record, id consumed.
    Name held("held", Shortcut(Key::f1, EventModifiers(platform::ModifierControl | platform::ModifierOption)));
    addKeyDownHandler(held, [] {});
    EXPECT_TRUE(CarbonHotkeys::hotKeyTable().empty());
    Name free("free", Shortcut(Key::f2, EventModifiers(platform::ModifierControl | platform::ModifierOption)));
    addKeyDownHandler(free, [] {});
    ASSERT_EQ(CarbonHotkeys::hotKeyTable().size(), 1u);
    EXPECT_EQ(CarbonHotkeys::hotKeyTable().begin()->first, 2); // id 1 went to the refusal
    EXPECT_FALSE(xcb_connection_has_error(own.c));
}

TEST_F(X11HotKeys, KeyPressReachesTheHandlerWithNumLockOn) {
    std::vector<std::string> got;
    Name name("showFloatingPanel", kAltTab);
    addKeyDownHandler(name, [&] { got.push_back("down"); });
    addKeyUpHandler(name, [&] { got.push_back("up"); });
    ASSERT_EQ(CarbonHotkeys::hotKeyTable().size(), 1u);

    ASSERT_EQ(server().run("xdotool key Num_Lock"), 0);
    ASSERT_EQ(server().run("xdotool key alt+Tab"), 0);
    EXPECT_TRUE(pump([&] { return got.size() == 2; }));
    EXPECT_EQ(got, (std::vector<std::string>{"down", "up"}));
    ASSERT_EQ(server().run("xdotool key Num_Lock"), 0); // off again

    // Holding Tab: repeated presses count once, the release ends it.
    got.clear();
    ASSERT_EQ(server().run("xdotool keydown alt keydown Tab keydown Tab keydown Tab keyup Tab keyup alt"), 0);
    EXPECT_TRUE(pump([&] { return got.size() == 2; }));
    EXPECT_EQ(got, (std::vector<std::string>{"down", "up"}));
    EXPECT_TRUE(x11->detectableAutorepeat());

    // Alt released before Tab still ends the press.
    got.clear();
    ASSERT_EQ(server().run("xdotool keydown alt keydown Tab keyup alt keyup Tab"), 0);
    EXPECT_TRUE(pump([&] { return got.size() == 2; }));

    // Unregistered: the key goes elsewhere.
    got.clear();
    storeShortcut(std::nullopt, name);
    ASSERT_EQ(server().run("xdotool key alt+Tab"), 0);
    EXPECT_FALSE(pump([&] { return !got.empty(); }));
}

TEST_F(X11HotKeys, KeymapChangeRegrabsOnlyWhenTheModifierMappingChanged) {
    std::optional<EventHotKeyRef> ref;
    ASSERT_EQ(x11->registerEventHotKey(48, CarbonOption, {CarbonHotkeys::signature, 1}, 0, ref), noErr);
    const auto before = x11->masks();
    EXPECT_NE(before.numLock, 0);

    // A keymap reload with the same modifier assignment.
    xcb_mapping_notify_event_t notify{};
    notify.response_type = XCB_MAPPING_NOTIFY;
    notify.request = XCB_MAPPING_KEYBOARD;
    x11->handleEvent(reinterpret_cast<xcb_generic_event_t*>(&notify));
    EXPECT_EQ(x11->regrabCount(), 0);

    // Num Lock moves from its modifier to Mod3.
    Connection other;
    auto* reply = xcb_get_modifier_mapping_reply(other.c, xcb_get_modifier_mapping(other.c), nullptr);
    ASSERT_TRUE(reply);
    const int per = reply->keycodes_per_modifier;
    std::vector<xcb_keycode_t> map(xcb_get_modifier_mapping_keycodes(reply),
                                   xcb_get_modifier_mapping_keycodes(reply) + 8 * per);
    std::free(reply);
    auto original = map;
    int numMod = __builtin_ctz(before.numLock);
    std::vector<xcb_keycode_t> moved(map.begin() + numMod * per, map.begin() + (numMod + 1) * per);
    std::fill(map.begin() + numMod * per, map.begin() + (numMod + 1) * per, 0);
    std::copy(moved.begin(), moved.end(), map.begin() + 5 * per); // Mod3
    auto setMap = [&](std::vector<xcb_keycode_t>& m) {
        auto* r = xcb_set_modifier_mapping_reply(other.c, xcb_set_modifier_mapping(other.c, per, m.data()), nullptr);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, XCB_MAPPING_STATUS_SUCCESS);
        std::free(r);
    };
    setMap(map);
    EXPECT_TRUE(pump([&] { return x11->regrabCount() == 1; }));
    EXPECT_EQ(x11->masks().numLock, XCB_MOD_MASK_3);

    // The grab now covers the new Num Lock modifier: another client cannot take it.
    EXPECT_EQ(grabError(other, XCB_MOD_MASK_1 | XCB_MOD_MASK_3, *x11KeycodeForCarbon(48)), 10); // BadAccess
    setMap(original);
    EXPECT_TRUE(pump([&] { return x11->regrabCount() == 2; }));
}

TEST_F(X11HotKeys, KeyNamesCompileTheKeymapOnceFollowTheGroupAndReloadOnChange) {
    ASSERT_EQ(server().run("setxkbmap -layout us,de"), 0);
    auto layout = Hotkeys::x11::XkbKeyboardLayout::fromX11(own.c);
    ASSERT_TRUE(layout);
    x11->addKeymapObserver([&] { layout->keymapChanged(); });
    EXPECT_EQ(layout->translate(Key::y.rawValue), "y");
    // Read once, the keymap serves every later name.
    const int compiled = layout->keymapCompiles();
    EXPECT_GE(compiled, 1);
    EXPECT_EQ(layout->translate(Key::z.rawValue), "z");
    EXPECT_EQ(layout->translate(Key::one.rawValue), "1");
    EXPECT_EQ(layout->keymapCompiles(), compiled);

    // Another client locks the second (German) group: names follow it
    // without compiling the keymap again.
    Connection other;
    auto* use = xcb_xkb_use_extension_reply(other.c, xcb_xkb_use_extension(other.c, 1, 0), nullptr);
    ASSERT_TRUE(use && use->supported);
    std::free(use);
    xcb_xkb_latch_lock_state(other.c, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, 1, 0, 0, 0);
    xcb_flush(other.c);
    EXPECT_TRUE(pump([&] { return layout->translate(Key::y.rawValue) == std::optional<std::string>("z"); }));
    const int afterGroup = layout->keymapCompiles();
    EXPECT_EQ(layout->translate(Key::z.rawValue), "y");
    EXPECT_EQ(layout->keymapCompiles(), afterGroup);

    // A new keymap is read again once it is announced.
    ASSERT_EQ(server().run("setxkbmap -layout fr"), 0);
    EXPECT_TRUE(pump([&] { return layout->translate(Key::q.rawValue) == std::optional<std::string>("a"); }));
    EXPECT_GT(layout->keymapCompiles(), afterGroup);
    ASSERT_EQ(server().run("setxkbmap -layout us"), 0);
}
