#include "app/main/QuitSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app::desktop {

namespace {

// The pipe's write end, for the handler.
std::atomic<int> writeEnd{-1};

void onSignal(int) {
    const int saved = errno;
    if (const int fd = writeEnd.load(std::memory_order_relaxed); fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t written = write(fd, &byte, 1); // a full pipe already holds a request
    }
    errno = saved;
}

constexpr int kSignals[] = {SIGTERM, SIGINT};

} // namespace

QuitSignals::QuitSignals(std::function<void()> quit) : quit_(std::move(quit)) {
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    writeEnd.store(pipe_[1]);
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char buffer[16];
        while (read(pipe_[0], buffer, sizeof buffer) > 0) {}
        if (quit_) quit_();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals) sigaction(signal, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    for (int signal : kSignals) std::signal(signal, SIG_DFL);
    writeEnd.store(-1);
    notifier_.reset();
    for (int fd : pipe_)
        if (fd >= 0) close(fd);
}

} // namespace app::desktop
