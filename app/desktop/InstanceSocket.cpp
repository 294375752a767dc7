#include "app/desktop/InstanceSocket.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace app::desktop {

namespace {

std::string runtimeDir() {
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) return dir;
    // Where Qt keeps the runtime folder when the variable is missing.
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    const passwd* user = getpwuid(getuid());
    return base + "/runtime-" + (user ? user->pw_name : std::to_string(getuid()));
}

// Waits until the descriptor is ready for `events` or the time is up.
bool waitFor(int fd, short events, int timeout) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, timeout) == 1 && (p.revents & events);
}

bool sendTo(const std::string& path, const char* request, int timeout) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const std::size_t length = std::strlen(request);
    ok = ok && send(fd, request, length, MSG_NOSIGNAL) == ssize_t(length);
    std::string answer;
    while (ok && answer.size() < std::strlen(kAnswer) && waitFor(fd, POLLIN, timeout)) {
        char buffer[16];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        answer.append(buffer, std::size_t(n));
    }
    close(fd);
    return ok && answer == kAnswer;
}

} // namespace

std::string instanceSocketPath(const std::string& sessionName) {
    std::string name = sessionName;
    for (auto& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return runtimeDir() + "/zelvo-" + std::to_string(getuid()) + "-" + name + ".socket";
}

bool sendToRunningInstance(const char* request, int timeout) {
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland)
        if (sendTo(instanceSocketPath(std::string("wayland-") + wayland), request, timeout)) return true;
    const char* display = std::getenv("DISPLAY");
    return display && *display && sendTo(instanceSocketPath(display), request, timeout);
}

} // namespace app::desktop
