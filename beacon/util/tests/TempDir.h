#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// A fresh directory under the system's temporary folder, removed afterwards.
struct TempDir {
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zelvo-beacon-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};
