#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct wl_shm;
struct wl_buffer;

namespace platform::wayland {

// Two shared-memory buffers of one size (memfd-backed, ARGB8888), each
// reused only after the compositor released it. A size change drops the
// free buffers at once and the busy ones when they come back.
class ShmBuffers {
public:
    struct Buffer {
        wl_buffer* buffer = nullptr;
        void* data = nullptr;
        std::size_t size = 0;
        int width = 0, height = 0;
        bool busy = false;  // with the compositor
        bool stale = false; // of an old size: destroyed on release
        ShmBuffers* owner = nullptr;
    };

    explicit ShmBuffers(wl_shm* shm) : shm_(shm) {}
    // Told when a buffer comes back from the compositor.
    void setReleaseListener(std::function<void()> listener) { releaseListener_ = std::move(listener); }
    ~ShmBuffers();

    // A free buffer of this size, made when needed; nullptr when both are
    // busy (or shared memory fails).
    Buffer* acquire(int width, int height);
    // The compositor holds it now.
    void submitted(Buffer& buffer) { buffer.busy = true; }
    // wl_buffer.release.
    void released(Buffer& buffer);
    std::size_t count() const { return buffers_.size(); }

private:
    Buffer* make(int width, int height);
    void destroy(Buffer& buffer);

    wl_shm* shm_;
    std::function<void()> releaseListener_;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    static constexpr std::size_t kBuffers = 2;
};

} // namespace platform::wayland
