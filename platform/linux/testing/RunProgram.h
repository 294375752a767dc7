#pragma once
// Runs a program to its end with a chosen environment and returns its exit
// status and what it printed (captured through files, so a chatty program
// cannot block on a full pipe).

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zelvo::testing {

struct ProgramResult {
    int status = -1; // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

struct ProgramEnvironment {
    std::map<std::string, std::string> set;
    std::vector<std::string> unset;
};

inline std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Writes `text` to `path`, making the folders it needs.
inline void writeWholeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline ProgramResult runProgram(const std::vector<std::string>& arguments, const ProgramEnvironment& environment = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string key = entry.substr(0, entry.find('='));
        bool dropped = environment.set.count(key) > 0;
        for (const auto& name : environment.unset) dropped = dropped || name == key;
        if (!dropped) env.push_back(entry);
    }
    for (const auto& [key, value] : environment.set) env.push_back(key + "=" + value);

    char pattern[] = "/tmp/zelvo-run-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    const auto outPath = dir / "out", errPath = dir / "err";

    std::vector<char*> argv, envp;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    ProgramResult result;
    pid_t pid = ::fork();
    if (pid == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int null = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || null < 0) ::_exit(126);
        ::dup2(null, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execvpe(argv[0], argv.data(), envp.data()); // a bare name is looked up on PATH
        ::_exit(127);
    }
    if (pid > 0) {
        int status = 0;
        pid_t waited;
        do waited = ::waitpid(pid, &status, 0);
        while (waited < 0 && errno == EINTR);
        if (waited == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
        result.out = readWholeFile(outPath);
        result.err = readWholeFile(errPath);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return result;
}

// A fresh folder under /tmp, removed with the object.
struct TemporaryFolder {
    TemporaryFolder() {
        char pattern[] = "/tmp/zelvo-test-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TemporaryFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

} // namespace zelvo::testing
