#include "platform/linux/qt/Compositing.h"
#include "platform/linux/qt/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace platform::qt {

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

// The owner of _NET_WM_CM_S<screen>, asked once and then followed through
// XFixes selection notifications (a compositing manager that starts, quits
// or dies), so showing a panel costs no round trip to the server.
class CompositingWatch : public QObject, public QAbstractNativeEventFilter {
public:
    explicit CompositingWatch(xcb_connection_t* c) : QObject(qGuiApp), connection_(c) {
        int screen = 0;
        if (const char* display = std::getenv("DISPLAY")) {
            std::string text(display);
            if (auto dot = text.rfind('.'); dot != std::string::npos && dot > text.rfind(':'))
                screen = std::atoi(text.c_str() + dot + 1);
        }
        const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
        auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen && it.rem; ++i) xcb_screen_next(&it);
        const xcb_window_t root = it.rem ? it.data->root : xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        Reply<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.c_str()), nullptr), &std::free);
        selection_ = atom ? atom->atom : XCB_NONE;
        const auto* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
        if (selection_ != XCB_NONE && xfixes && xfixes->present) {
            Reply<xcb_xfixes_query_version_reply_t> version(
                xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, 0), nullptr),
                &std::free);
            if (version) {
                firstEvent_ = xfixes->first_event;
                // A dedicated window receives the notifications, so they
                // never mix with what Qt selects on the root.
                const xcb_window_t window = xcb_generate_id(c);
                xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                                  XCB_COPY_FROM_PARENT, 0, nullptr);
                xcb_xfixes_select_selection_input(c, window, selection_,
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                                      XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                                      XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
                qGuiApp->installNativeEventFilter(this);
            }
        }
        // Asked after selecting the notifications: a change in between is
        // not missed.
        Reply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection_), nullptr), &std::free);
        running_ = selection_ != XCB_NONE && owner && owner->owner != XCB_NONE;
    }
    ~CompositingWatch() override {
        if (firstEvent_ && qGuiApp) qGuiApp->removeNativeEventFilter(this);
    }

    bool running() {
        // Without XFixes nothing tells of changes: ask each time.
        if (!firstEvent_ && selection_ != XCB_NONE) {
            Reply<xcb_get_selection_owner_reply_t> owner(
                xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_), nullptr),
                &std::free);
            running_ = owner && owner->owner != XCB_NONE;
        }
        return running_;
    }
    xcb_connection_t* connection() const { return connection_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != firstEvent_ + XCB_XFIXES_SELECTION_NOTIFY) return false;
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection == selection_) running_ = notify->owner != XCB_NONE;
        return false;
    }

private:
    xcb_connection_t* connection_;
    xcb_atom_t selection_ = XCB_NONE;
    std::uint8_t firstEvent_ = 0;
    bool running_ = false;
};

} // namespace

bool compositingManagerRunning() {
    xcb_connection_t* c = qtX11Connection();
    if (!c) return true;
    // One watch for the application's connection; it goes with the application.
    static QPointer<CompositingWatch> watch;
    if (!watch || watch->connection() != c) watch = new CompositingWatch(c);
    return watch->running();
}

} // namespace platform::qt
