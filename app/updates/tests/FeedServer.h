#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

// A static HTTP server on 127.0.0.1 (python3 -m http.server) over a fresh
// temporary folder; files written below root() are served at url(path).
class FeedServer {
public:
    FeedServer();
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    bool running() const { return pid_ > 0; }
    const std::filesystem::path& root() const { return root_; }
    std::string url(const std::string& path) const;
    void write(const std::string& path, const std::string& body);

    // A 127.0.0.1 port with nothing listening on it.
    static int closedPort();

private:
    std::filesystem::path root_;
    int port_ = 0;
    pid_t pid_ = -1;
};
