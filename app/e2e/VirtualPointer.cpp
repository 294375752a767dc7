#include "VirtualPointer.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <cstring>
#include <wayland-client.h>

namespace zelvo::e2e {

namespace {

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* self = static_cast<std::pair<wl_seat**, zwlr_virtual_pointer_manager_v1**>*>(data);
    if (!std::strcmp(interface, wl_seat_interface.name) && !*self->first)
        *self->first = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name))
        *self->second = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, std::uint32_t) {}

} // namespace

std::unique_ptr<VirtualPointer> VirtualPointer::connect(const std::string& socketPath, int width, int height) {
    std::unique_ptr<VirtualPointer> p(new VirtualPointer);
    p->display_ = wl_display_connect(socketPath.c_str());
    if (!p->display_) return nullptr;
    static const wl_registry_listener listener{&global, &globalRemove};
    std::pair<wl_seat**, zwlr_virtual_pointer_manager_v1**> found{&p->seat_, &p->manager_};
    wl_registry* registry = wl_display_get_registry(p->display_);
    wl_registry_add_listener(registry, &listener, &found);
    wl_display_roundtrip(p->display_);
    if (!p->manager_) return nullptr;
    p->pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(p->manager_, p->seat_);
    p->width_ = width;
    p->height_ = height;
    // The seat gains a pointer: clients get theirs before the first motion.
    wl_display_roundtrip(p->display_);
    return p;
}

VirtualPointer::~VirtualPointer() {
    if (display_) wl_display_disconnect(display_);
}

void VirtualPointer::send() {
    zwlr_virtual_pointer_v1_frame(pointer_);
    wl_display_roundtrip(display_);
}

void VirtualPointer::moveTo(int x, int y) {
    zwlr_virtual_pointer_v1_motion_absolute(pointer_, time_ += 10, unsigned(x), unsigned(y), unsigned(width_),
                                            unsigned(height_));
    send();
}

void VirtualPointer::press(bool down, int button) {
    zwlr_virtual_pointer_v1_button(pointer_, time_ += 10, unsigned(button), down ? 1 : 0);
    send();
}

void VirtualPointer::click(int x, int y) {
    moveTo(x, y);
    press(true);
    press(false);
}

} // namespace zelvo::e2e
