#pragma once

#include <string>
#include <sys/types.h>

// A private Xvfb for one test program: started on a free display number,
// stopped on destruction.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();
    bool running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& display() const { return display_; }
    // Runs a command with DISPLAY set to this server; its exit status.
    int run(const std::string& command) const;

private:
    pid_t pid_ = -1;
    std::string display_;
};
