#include "platform/linux/qt/PointerPresses.h"
#include "platform/linux/qt/X11Connection.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

namespace platform::qt {

PointerPresses::PointerPresses(std::function<void()> pressed) : pressed_(std::move(pressed)) {
    xcb_connection_t* c = qtX11Connection();
    if (!c) return;
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(c, &xcb_input_id);
    if (!xinput || !xinput->present) return;
    opcode_ = xinput->major_opcode;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

PointerPresses::~PointerPresses() {
    watch(false);
    if (opcode_ >= 0 && QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

void PointerPresses::watch(bool on) {
    xcb_connection_t* c = qtX11Connection();
    if (opcode_ < 0 || !c || on == watching_) return;
    watching_ = on;
    // Our own selection for the master devices on the root window; the
    // toolkit's selections there are for other devices and stay as they are.
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS : 0u};
    xcb_input_xi_select_events(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, 1, &selection.head);
    xcb_flush(c);
}

bool PointerPresses::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!watching_ || eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC) return false;
    auto* generic = static_cast<xcb_ge_generic_event_t*>(message);
    if (generic->extension != opcode_ || generic->event_type != XCB_INPUT_RAW_BUTTON_PRESS) return false;
    // Buttons 4 to 7 are the wheel's steps.
    const auto button = static_cast<xcb_input_raw_button_press_event_t*>(message)->detail;
    if (button < 4 || button > 7) pressed_();
    return true;
}

} // namespace platform::qt
