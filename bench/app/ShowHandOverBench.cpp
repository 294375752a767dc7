// `zelvo --show` as a compositor runs it on each press of the hot key: from
// exec to the running instance having the request (and the program's exit
// on its answer). The running instance is a listener on the instance socket
// that answers at once, so only the hand-over is measured.
#include "app/desktop/InstanceSocket.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

void BM_ShowHandOver(benchmark::State& state) {
    char folder[] = "/tmp/zelvo-show-bench-XXXXXX";
    const std::filesystem::path runtime = mkdtemp(folder);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("WAYLAND_DISPLAY", "bench-0", 1);
    unsetenv("DISPLAY");
    const std::string path = app::desktop::instanceSocketPath("wayland-bench-0");

    int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(server, 8) != 0) {
        state.SkipWithError("cannot listen on the instance socket");
        return;
    }
    std::atomic<int> requests{0};
    std::thread instance([&] {
        for (;;) {
            int client = accept(server, nullptr, nullptr);
            if (client < 0) return;
            char line[64];
            if (read(client, line, sizeof line) > 0) {
                ++requests;
                (void)!write(client, app::desktop::kAnswer, 3);
            }
            close(client);
        }
    });

    char* argv[] = {const_cast<char*>(ZELVO_BINARY), const_cast<char*>("--show"), nullptr};
    for (auto _ : state) {
        pid_t pid = -1;
        posix_spawn(&pid, ZELVO_BINARY, nullptr, nullptr, argv, environ);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("zelvo --show failed");
    }
    state.counters["requests"] = requests.load();
    shutdown(server, SHUT_RDWR);
    close(server);
    instance.join();
    std::filesystem::remove_all(runtime);
}
BENCHMARK(BM_ShowHandOver)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
