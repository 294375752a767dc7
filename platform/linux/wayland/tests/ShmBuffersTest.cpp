#include "platform/linux/wayland/ShmBuffers.h"
#include "platform/linux/wayland/protocols/Protocols.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

using platform::wayland::ShmBuffers;

namespace {

// A client connection whose far end nobody reads: requests are made and
// queued as against a compositor, so buffers are real shared memory with
// real wl_buffer objects, and their release is played by the test.
class OfflineConnection {
public:
    OfflineConnection() {
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_);
        display_ = wl_display_connect_to_fd(fds_[0]);
        registry_ = wl_display_get_registry(display_);
        shm_ = static_cast<wl_shm*>(wl_registry_bind(registry_, 1, &wl_shm_interface, 1));
    }
    ~OfflineConnection() {
        wl_shm_destroy(shm_);
        wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
        close(fds_[1]);
    }
    wl_shm* shm() const { return shm_; }

private:
    int fds_[2] = {-1, -1};
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_shm* shm_ = nullptr;
};

} // namespace

TEST(ShmBuffers, TwoBuffersAreReusedOnlyAfterReleaseAndOldSizesGoWhenFree) {
    OfflineConnection connection;
    ShmBuffers buffers(connection.shm());
    int releases = 0;
    buffers.setReleaseListener([&] { ++releases; });

    auto* first = buffers.acquire(40, 30);
    ASSERT_TRUE(first && first->data);
    EXPECT_EQ(buffers.acquire(40, 30), first) << "a free buffer is drawn into again";
    buffers.submitted(*first);
    auto* second = buffers.acquire(40, 30);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    buffers.submitted(*second);
    EXPECT_EQ(buffers.acquire(40, 30), nullptr) << "both with the compositor: no third";
    buffers.released(*first);
    EXPECT_EQ(releases, 1);
    auto* wlBuffer = first->buffer;
    EXPECT_EQ(buffers.acquire(40, 30), first);
    EXPECT_EQ(first->buffer, wlBuffer) << "the same wl_buffer, not a new one";

    // A new size: the free buffer goes at once, the busy one when it is back.
    auto* larger = buffers.acquire(80, 60);
    ASSERT_TRUE(larger);
    EXPECT_EQ(larger->width, 80);
    EXPECT_EQ(buffers.count(), 2u);
    buffers.released(*second);
    EXPECT_EQ(buffers.count(), 1u);
    EXPECT_EQ(releases, 2);
}
