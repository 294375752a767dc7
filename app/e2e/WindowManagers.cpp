#include "WindowManagers.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zelvo::e2e {

namespace fs = std::filesystem;

namespace {

constexpr const char* kXfconfChannel = "xfce4-keyboard-shortcuts";

std::string readFile(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// `text` less the lines for which `drop` holds.
template <typename Drop> std::string withoutLines(const std::string& text, Drop drop) {
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);)
        if (!drop(line)) out += line + "\n";
    return out;
}

fs::path openboxFile(const fs::path& home) { return home / ".config/openbox/rc.xml"; }
fs::path i3File(const fs::path& home) { return home / ".config/i3/config"; }
fs::path fluxboxKeys(const fs::path& home) { return home / ".fluxbox/keys"; }

// xfwm4 takes its shortcuts from "/xfwm4/custom" once that holds an
// "override"; on its first start it copies the shipped "/xfwm4/default"
// there. The user's channel file gets that copy ready made, less Alt+Tab.
void writeXfwmShortcutsWithoutAltTab(const fs::path& home) {
    auto text = readFile("/etc/xdg/xfce4/xfconf/xfce-perchannel-xml/xfce4-keyboard-shortcuts.xml");
    const std::string defaults = "<property name=\"default\" type=\"empty\">";
    const auto xfwm = text.find("<property name=\"xfwm4\" type=\"empty\">");
    const auto at = xfwm == std::string::npos ? xfwm : text.find(defaults, xfwm);
    if (at == std::string::npos) return;
    text.replace(
        at, defaults.size(),
        "<property name=\"custom\" type=\"empty\">\n<property name=\"override\" type=\"bool\" value=\"true\"/>");
    text = withoutLines(text, [](const std::string& line) {
        return line.find("name=\"&lt;Alt&gt;Tab\"") != std::string::npos ||
               line.find("name=\"&lt;Alt&gt;&lt;Shift&gt;Tab\"") != std::string::npos;
    });
    writeFile(home / ".config/xfce4/xfconf/xfce-perchannel-xml/xfce4-keyboard-shortcuts.xml", text);
}

} // namespace

std::string programName(WindowManager wm) {
    switch (wm) {
    case WindowManager::Openbox: return "openbox";
    case WindowManager::Xfwm4: return "xfwm4";
    case WindowManager::I3: return "i3";
    case WindowManager::Fluxbox: return "fluxbox";
    }
    return {};
}

std::string ewmhName(WindowManager wm) {
    switch (wm) {
    case WindowManager::Openbox: return "Openbox";
    case WindowManager::Xfwm4: return "Xfwm4";
    case WindowManager::I3: return "i3";
    case WindowManager::Fluxbox: return "Fluxbox";
    }
    return {};
}

bool stockBindsAltTab(WindowManager wm) { return wm != WindowManager::I3; }

bool needsSessionBus(WindowManager wm) { return wm == WindowManager::Xfwm4; }

std::vector<std::string> prepareWindowManager(WindowManager wm, bool keepAltTab, const fs::path& home) {
    switch (wm) {
    case WindowManager::Openbox:
        if (!keepAltTab) return {"openbox", "--config-file", std::string(ZELVO_E2E_DIR) + "/openbox-rc.xml"};
        writeFile(openboxFile(home), readFile("/etc/xdg/openbox/rc.xml"));
        return {"openbox", "--config-file", openboxFile(home).string()};
    case WindowManager::Xfwm4:
        if (!keepAltTab) writeXfwmShortcutsWithoutAltTab(home);
        // Without compositing, as on the other window managers here.
        return {"xfwm4", "--compositor=off"};
    case WindowManager::I3:
        // A configuration of the user's own keeps i3's first-run wizard away.
        writeFile(i3File(home), readFile("/etc/i3/config"));
        return {"i3", "-c", i3File(home).string()};
    case WindowManager::Fluxbox:
        // Fluxbox copies the files it finds missing in ~/.fluxbox on its start.
        if (!keepAltTab)
            writeFile(fluxboxKeys(home), withoutLines(readFile("/etc/X11/fluxbox/keys"), [](const std::string& line) {
                          return line.rfind("Mod1 Tab ", 0) == 0 || line.rfind("Mod1 Shift Tab ", 0) == 0;
                      }));
        return {"fluxbox"};
    }
    return {};
}

std::vector<std::string> keySettingsCommand(WindowManager wm, const fs::path& home) {
    switch (wm) {
    case WindowManager::Openbox: return {"cat", openboxFile(home).string()};
    case WindowManager::Xfwm4: return {"xfconf-query", "-c", kXfconfChannel, "-l", "-v"};
    case WindowManager::I3: return {"cat", i3File(home).string()};
    case WindowManager::Fluxbox: return {"cat", fluxboxKeys(home).string()};
    }
    return {};
}

bool altTabGrabbed(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, 0xff09); // XK_Tab
    bool grabbed = false;
    if (codes && codes[0] != XCB_NO_SYMBOL) {
        // Our own grab fails with BadAccess exactly when another client has it.
        auto cookie =
            xcb_grab_key_checked(c, 0, root, XCB_MOD_MASK_1, codes[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(c, cookie);
        grabbed = error && error->error_code == XCB_ACCESS;
        std::free(error);
    }
    std::free(codes);
    xcb_key_symbols_free(symbols);
    xcb_disconnect(c); // lets go of a grab of ours
    return grabbed;
}

} // namespace zelvo::e2e
