#pragma once

#include <memory>
#include <string>

struct wl_display;
struct wl_seat;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

namespace zelvo::e2e {

// A pointer device made on a wlroots compositor through its virtual pointer
// protocol: a headless compositor has none of its own. Positions are in the
// layout of outputs `width` x `height` logical pixels.
class VirtualPointer {
public:
    // Nothing when the compositor at `socketPath` offers no virtual pointers.
    static std::unique_ptr<VirtualPointer> connect(const std::string& socketPath, int width, int height);
    ~VirtualPointer();

    void moveTo(int x, int y);
    void press(bool down, int button = 0x110); // BTN_LEFT
    void click(int x, int y);

private:
    VirtualPointer() = default;
    void send();

    wl_display* display_ = nullptr;
    wl_seat* seat_ = nullptr;
    zwlr_virtual_pointer_manager_v1* manager_ = nullptr;
    zwlr_virtual_pointer_v1* pointer_ = nullptr;
    int width_ = 0, height_ = 0;
    unsigned time_ = 0;
};

} // namespace zelvo::e2e
