#include "beacon/util/MemoryPressureSource.h"

#include "platform/Scheduler.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace beacon {

namespace {

// A stall of 200 ms within a 2 s window. Windows of whole multiples of 2 s
// are also accepted from unprivileged processes.
constexpr const char* kWarningTrigger = "some 200000 2000000";
constexpr const char* kCriticalTrigger = "full 200000 2000000";

int openTrigger(const std::filesystem::path& file, const char* trigger) {
    const int fd = ::open(file.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::write(fd, trigger, std::strlen(trigger) + 1) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class PsiMemoryPressureSource : public MemoryPressureSource {
public:
    PsiMemoryPressureSource(platform::Queue& queue, Handler handler, std::vector<int> triggers, int wakeFd)
        : queue_(queue), handler_(std::make_shared<Handler>(std::move(handler))), triggers_(std::move(triggers)),
          wakeFd_(wakeFd), cancelled_(std::make_shared<std::atomic<bool>>(false)) {
        thread_ = std::thread([this] { watch(); });
    }
    ~PsiMemoryPressureSource() override {
        cancel();
        if (thread_.joinable()) thread_.join();
        for (int fd : triggers_) ::close(fd);
        ::close(wakeFd_);
    }
    void cancel() override {
        if (cancelled_->exchange(true)) return;
        const std::uint64_t one = 1;
        [[maybe_unused]] auto ignored = ::write(wakeFd_, &one, sizeof one);
    }

private:
    void watch() {
        std::vector<pollfd> fds;
        for (int fd : triggers_) fds.push_back({fd, POLLPRI, 0});
        fds.push_back({wakeFd_, POLLIN, 0});
        while (!*cancelled_) {
            const int ready = ::poll(fds.data(), fds.size(), -1);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds.back().revents) return;
            bool pressure = false;
            for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
                if (fds[i].revents & POLLERR) return; // the trigger went away
                if (fds[i].revents & POLLPRI) pressure = true;
            }
            if (pressure && !*cancelled_)
                queue_.async([handler = handler_, cancelled = cancelled_] {
                    if (!*cancelled) (*handler)();
                });
        }
    }

    platform::Queue& queue_;
    std::shared_ptr<Handler> handler_;
    std::vector<int> triggers_;
    int wakeFd_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::thread thread_;
};

} // namespace

std::unique_ptr<MemoryPressureSource> makePsiMemoryPressureSource(platform::Queue& queue,
                                                                  MemoryPressureSource::Handler handler,
                                                                  const std::filesystem::path& pressureFile) {
    std::vector<int> triggers;
    for (const char* trigger : {kWarningTrigger, kCriticalTrigger}) {
        const int fd = openTrigger(pressureFile, trigger);
        if (fd >= 0) triggers.push_back(fd);
    }
    if (triggers.empty()) return nullptr;
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0) {
        for (int fd : triggers) ::close(fd);
        return nullptr;
    }
    return std::make_unique<PsiMemoryPressureSource>(queue, std::move(handler), std::move(triggers), wakeFd);
}

struct ScriptedMemoryPressureSource::State {
    platform::Queue& queue;
    Handler handler;
    std::atomic<bool> cancelled{false};
};

ScriptedMemoryPressureSource::ScriptedMemoryPressureSource(platform::Queue& queue, Handler handler)
    : state_(new State{queue, std::move(handler)}) {}

void ScriptedMemoryPressureSource::fire() {
    if (state_->cancelled) return;
    state_->queue.async([state = state_] {
        if (!state->cancelled && state->handler) state->handler();
    });
}

void ScriptedMemoryPressureSource::cancel() { state_->cancelled = true; }

bool ScriptedMemoryPressureSource::isCancelled() const { return state_->cancelled; }

} // namespace beacon
