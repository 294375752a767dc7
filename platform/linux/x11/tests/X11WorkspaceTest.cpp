// The X11 workspace against a real (private) X server. There is no window
// manager: the test keeps _NET_CLIENT_LIST and the window states itself, as
// an EWMH window manager would.

#include "XvfbServer.h"

#include "platform/linux/x11/UserTime.h"
#include "platform/linux/x11/X11Workspace.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace platform;
using namespace platform::x11;

namespace {

XvfbServer& server() {
    static XvfbServer s; // stopped at exit
    return s;
}

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server().running()) << "Xvfb did not start";
        c = xcb_connect(server().display().c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(c));
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        setClientList({});
        workspace = X11Workspace::connect(server().display().c_str());
        ASSERT_TRUE(workspace);
        launches = Subscription(workspace->notificationCenter(),
                                workspace->notificationCenter().addObserver(
                                    kWorkspaceDidLaunchApplication, nullptr, [this](const Notification& n) {
                                        if (auto* app = n.info<RunningApplicationPtr>(kWorkspaceApplicationKey))
                                            launched.push_back(*app);
                                    }));
    }
    void TearDown() override {
        launches = {};
        workspace.reset();
        setClientList({});
        xcb_disconnect(c);
    }

    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
        xcb_atom_t a = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return a;
    }
    void set32(xcb_window_t w, const char* property, xcb_atom_t type, const std::vector<std::uint32_t>& values) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(property), type, 32, values.size(), values.data());
    }
    void setText(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, const std::string& text) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 8, text.size(), text.data());
        xcb_flush(c);
    }
    // An unmapped client window of process `pid` with WM_CLASS `cls`.
    xcb_window_t window(std::uint32_t pid, const std::string& cls, const char* type = "_NET_WM_WINDOW_TYPE_NORMAL",
                        std::vector<const char*> states = {}) {
        xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        set32(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {pid});
        setText(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, cls + '\0' + cls + '\0');
        set32(w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {atom(type)});
        setStates(w, states);
        return w;
    }
    void setStates(xcb_window_t w, const std::vector<const char*>& states) {
        std::vector<std::uint32_t> atoms;
        for (auto* s : states) atoms.push_back(atom(s));
        set32(w, "_NET_WM_STATE", XCB_ATOM_ATOM, atoms);
        xcb_flush(c);
    }
    // Bottom to top, as the stacking list.
    void setClientList(const std::vector<xcb_window_t>& windows) {
        set32(root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, windows);
        set32(root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW, windows);
        xcb_flush(c);
    }
    bool mapped(xcb_window_t w) {
        auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
        bool viewable = reply && reply->map_state != XCB_MAP_STATE_UNMAPPED;
        std::free(reply);
        return viewable;
    }
    // Lets the workspace read the server until `done` holds (five seconds at most).
    template <typename Done> bool pump(Done done) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < until) {
            workspace->processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }
    RunningApplicationPtr named(const std::string& name) {
        for (const auto& app : workspace->runningApplications())
            if (app->localizedName() == name) return app;
        return nullptr;
    }
    // Publishes `windows` as the client list; the application `name` once it is listed.
    RunningApplicationPtr listed(const std::vector<xcb_window_t>& windows, const std::string& name) {
        setClientList(windows);
        return pump([&] { return named(name) != nullptr; }) ? named(name) : nullptr;
    }

    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    std::unique_ptr<X11Workspace> workspace;
    Subscription launches;
    std::vector<RunningApplicationPtr> launched;
};

} // namespace

TEST_F(X11WorkspaceTest, AProcessBecomingRegularIsAnnouncedAsLaunched) {
    // First a splash screen, then its main window.
    auto splash = window(5001, "Splashy", "_NET_WM_WINDOW_TYPE_SPLASH");
    auto app = listed({splash}, "Splashy");
    ASSERT_TRUE(app);
    EXPECT_NE(app->activationPolicy(), ActivationPolicy::Regular);
    ASSERT_EQ(launched.size(), 1u); // announced, but not to be listed yet
    launched.clear();

    auto main = window(5001, "Splashy");
    setClientList({splash, main});
    ASSERT_TRUE(pump([&] { return !launched.empty(); }));
    EXPECT_EQ(launched.front(), app);
    EXPECT_EQ(app->activationPolicy(), ActivationPolicy::Regular);

    // A window that leaves the taskbar-skipping state later.
    launched.clear();
    auto shy = window(5002, "Shy", "_NET_WM_WINDOW_TYPE_NORMAL", {"_NET_WM_STATE_SKIP_TASKBAR"});
    ASSERT_TRUE(listed({splash, main, shy}, "Shy"));
    launched.clear();
    setStates(shy, {});
    ASSERT_TRUE(pump([&] { return !launched.empty(); }));
    EXPECT_EQ(launched.front(), named("Shy"));
    EXPECT_EQ(named("Shy")->activationPolicy(), ActivationPolicy::Regular);

    // A window named only after it was mapped: its class, then its
    // application id.
    auto late = window(5005, "");
    setClientList({splash, main, shy, late});
    ASSERT_TRUE(pump([&] { return launched.size() == 2; }));
    EXPECT_FALSE(launched.back()->localizedName());
    setText(late, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string("late\0Late\0", 10));
    ASSERT_TRUE(pump([&] { return named("Late") && launched.back() == named("Late"); }));
    const std::string id = "org.example.Late";
    setText(late, atom("_GTK_APPLICATION_ID"), atom("UTF8_STRING"), id);
    EXPECT_TRUE(pump([&] { return named("Late")->bundleIdentifier() == id && launched.back() == named("Late"); }));
    EXPECT_EQ(workspace->runningApplications().size(), 3u); // the nameless one is gone
}

TEST_F(X11WorkspaceTest, SwitchingRestoresOnlyTheWindowBroughtToTheFront) {
    // Two minimised windows of one application; the upper one comes back.
    auto lower = window(5003, "Multi", "_NET_WM_WINDOW_TYPE_NORMAL", {"_NET_WM_STATE_HIDDEN"});
    auto upper = window(5003, "Multi", "_NET_WM_WINDOW_TYPE_NORMAL", {"_NET_WM_STATE_HIDDEN"});
    auto app = listed({lower, upper}, "Multi");
    ASSERT_TRUE(app && app->isHidden());

    EXPECT_TRUE(app->unhide());
    EXPECT_TRUE(app->activate(ActivateAllWindows | ActivateIgnoringOtherApps));
    // Requests of one connection are handled in order: once the upper
    // window is mapped, a map of the lower one would be done too.
    EXPECT_TRUE(pump([&] { return mapped(upper); }));
    EXPECT_FALSE(mapped(lower));
}

TEST_F(X11WorkspaceTest, IconChangesShowAndTheWindowIconPixmapStandsIn) {
    auto w = window(5004, "Pictured");
    // No _NET_WM_ICON; a red 16 by 16 icon pixmap in WM_HINTS.
    const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, root, 16, 16);
    xcb_gcontext_t gc = xcb_generate_id(c);
    std::uint32_t red = 0xFF0000;
    xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &red);
    xcb_rectangle_t all{0, 0, 16, 16};
    xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
    std::vector<std::uint32_t> hints{4 /* IconPixmapHint */, 0, 0, pixmap, 0, 0, 0, 0, 0};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, hints.size(),
                        hints.data());
    auto app = listed({w}, "Pictured");
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->icon().empty());
    auto fallback = app->fallbackIcon();
    ASSERT_EQ(fallback.width, 16);
    ASSERT_EQ(fallback.argb.size(), 256u);
    EXPECT_EQ(fallback.argb[0], 0xFFFF0000u);

    // The application sets an icon later: it shows on the next read.
    const auto before = app->iconVersion();
    set32(w, "_NET_WM_ICON", XCB_ATOM_CARDINAL, {2, 1, 0xFF00FF00u, 0xFF00FF00u});
    xcb_flush(c);
    ASSERT_TRUE(pump([&] { return app->iconVersion() != before; }));
    auto icon = app->icon();
    ASSERT_EQ(icon.width, 2);
    EXPECT_EQ(icon.argb[0], 0xFF00FF00u);
}

TEST_F(X11WorkspaceTest, ActivationPrefersAWindowOnTheDesktopInViewElseSwitchesThereFirst) {
    // Stands in for the window manager: sees the requests sent to the root.
    xcb_connection_t* wm = xcb_connect(server().display().c_str(), nullptr);
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(wm, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(wm);
    set32(root, "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL, {0});
    constexpr std::uint32_t all = 0xFFFFFFFF;
    // _NET_WM_DESKTOP of an application's two windows, bottom to top.
    struct Case {
        const char* what;
        std::uint32_t lower, upper;
        bool upperActivated;
        std::uint32_t switchedTo; // none: `all`
    } const cases[] = {
        {"both in view: the upper", 0, 0, true, all},
        {"the upper elsewhere: the lower", 0, 1, false, all},
        {"the lower on every desktop", all, 1, false, all},
        {"both elsewhere: the upper's desktop first", 2, 1, true, 1},
    };
    platform::x11::noteUserTime(4242);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& k = cases[i];
        const std::string name = "Desk" + std::to_string(i);
        auto lower = window(5100 + i, name), upper = window(5100 + i, name);
        set32(lower, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, {k.lower});
        set32(upper, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, {k.upper});
        auto app = listed({lower, upper}, name);
        ASSERT_TRUE(app && app->activate(0)) << k.what;
        std::uint32_t switchedTo = all;
        std::optional<xcb_client_message_event_t> activation;
        // Reads what the window manager was sent, to the last of it.
        ASSERT_TRUE(pump([&] {
            while (auto* e = xcb_poll_for_event(wm)) {
                std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(e, &std::free);
                if ((e->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
                auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                if (m->type == atom("_NET_CURRENT_DESKTOP")) switchedTo = m->data.data32[0];
                if (m->type == atom("_NET_ACTIVE_WINDOW")) activation = *m;
            }
            return activation.has_value();
        })) << k.what;
        EXPECT_EQ(activation->window, k.upperActivated ? upper : lower) << k.what;
        EXPECT_EQ(activation->data.data32[0], 2u) << k.what; // from a pager, for the user
        EXPECT_EQ(activation->data.data32[1], 4242u) << k.what;
        EXPECT_EQ(switchedTo, k.switchedTo) << k.what;
    }
    xcb_disconnect(wm);
}
