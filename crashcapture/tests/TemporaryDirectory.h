#pragma once

#include <cstdlib>
#include <filesystem>

namespace crashcapture::testing {

// A fresh directory under /tmp, removed with the object. The beacon tests use
// it as beacon::test::TempDir.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        char pattern[] = "/tmp/zelvo-crash-XXXXXX";
        if (::mkdtemp(pattern)) path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace crashcapture::testing
