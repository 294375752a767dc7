// A client with two top-level windows of one process, for the tests of an
// application's windows: WM_CLASS "twins"/"Twins", titles "Twin One" and
// "Twin Two", both taking WM_DELETE_WINDOW. A window asked to close goes;
// the program ends with the last one.
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return atom;
}

} // namespace

int main() {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) return 1;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    xcb_screen_t* screen = it.data;
    const xcb_atom_t protocols = intern(c, "WM_PROTOCOLS"), deleteWindow = intern(c, "WM_DELETE_WINDOW"),
                     pidAtom = intern(c, "_NET_WM_PID"), netName = intern(c, "_NET_WM_NAME"),
                     utf8 = intern(c, "UTF8_STRING");
    const std::uint32_t pid = std::uint32_t(getpid());
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    const char wmClass[] = "twins\0Twins";

    int open = 0;
    for (const char* title : {"Twin One", "Twin Two"}) {
        xcb_window_t w = xcb_generate_id(c);
        const std::uint32_t values[] = {screen->white_pixel};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 40 + 200 * open, 40, 180, 120, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, values);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass,
                            wmClass);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            std::uint32_t(std::strlen(title)), title);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netName, utf8, 8, std::uint32_t(std::strlen(title)), title);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8,
                            std::uint32_t(std::strlen(host)), host);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, pidAtom, XCB_ATOM_CARDINAL, 32, 1, &pid);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
        xcb_map_window(c, w);
        ++open;
    }
    xcb_flush(c);

    while (open > 0) {
        xcb_generic_event_t* event = xcb_wait_for_event(c);
        if (!event) return 1; // the server went away
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == protocols && message->data.data32[0] == deleteWindow) {
                xcb_destroy_window(c, message->window);
                xcb_flush(c);
                --open;
            }
        }
        std::free(event);
    }
    xcb_disconnect(c);
    return 0;
}
