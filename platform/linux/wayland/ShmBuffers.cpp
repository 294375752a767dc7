#include "platform/linux/wayland/ShmBuffers.h"

#include "platform/linux/wayland/protocols/Protocols.h"

#include <algorithm>
#include <sys/mman.h>
#include <unistd.h>

namespace platform::wayland {

namespace {

void onRelease(void* data, wl_buffer*) {
    auto* buffer = static_cast<ShmBuffers::Buffer*>(data);
    buffer->owner->released(*buffer);
}

const wl_buffer_listener kBufferListener{&onRelease};

} // namespace

ShmBuffers::~ShmBuffers() {
    for (auto& b : buffers_) destroy(*b);
}

ShmBuffers::Buffer* ShmBuffers::acquire(int width, int height) {
    for (auto& b : buffers_)
        if (b->width != width || b->height != height) b->stale = true;
    // Buffers of another size that are free go now.
    for (auto it = buffers_.begin(); it != buffers_.end();) {
        if ((*it)->stale && !(*it)->busy) {
            destroy(**it);
            it = buffers_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& b : buffers_)
        if (!b->busy && !b->stale) return b.get();
    const auto live = std::count_if(buffers_.begin(), buffers_.end(), [](const auto& b) { return !b->stale; });
    if (std::size_t(live) >= kBuffers || buffers_.size() >= 2 * kBuffers) return nullptr;
    return make(width, height);
}

ShmBuffers::Buffer* ShmBuffers::make(int width, int height) {
    if (!shm_ || width <= 0 || height <= 0) return nullptr;
    const int stride = width * 4;
    const std::size_t size = std::size_t(stride) * std::size_t(height);
    int fd = memfd_create("zelvo-panel", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    if (ftruncate(fd, off_t(size)) != 0) {
        close(fd);
        return nullptr;
    }
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, int(size));
    wl_buffer* wlBuffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    auto buffer = std::make_unique<Buffer>(Buffer{wlBuffer, data, size, width, height, false, false, this});
    wl_buffer_add_listener(wlBuffer, &kBufferListener, buffer.get());
    buffers_.push_back(std::move(buffer));
    return buffers_.back().get();
}

void ShmBuffers::released(Buffer& buffer) {
    buffer.busy = false;
    if (buffer.stale) {
        destroy(buffer);
        buffers_.erase(
            std::remove_if(buffers_.begin(), buffers_.end(), [&](const auto& b) { return b.get() == &buffer; }),
            buffers_.end());
    }
    if (releaseListener_) releaseListener_();
}

void ShmBuffers::destroy(Buffer& buffer) {
    if (buffer.buffer) wl_buffer_destroy(buffer.buffer);
    if (buffer.data) munmap(buffer.data, buffer.size);
    buffer.buffer = nullptr;
    buffer.data = nullptr;
}

} // namespace platform::wayland
