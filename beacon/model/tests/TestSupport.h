#pragma once

// Helpers shared by the model and context tests.

#include "beacon/testing/SampleDevices.h"
#include "beacon/util/tests/LogCapture.h"
#include "beacon/util/tests/ProcessRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace beacon::test {

// Runs Python's json module over the text and returns what the script
// prints. The script sees the parsed value as `doc` (objects as lists of
// (key, value) pairs, so key order can be checked) and the raw text as `raw`.
inline std::string python(const std::string& jsonText, const std::string& script) {
    char path[] = "/tmp/zelvo-json-XXXXXX";
    int fd = ::mkstemp(path);
    EXPECT_GE(fd, 0);
    ::close(fd);
    std::ofstream(path, std::ios::binary) << jsonText;
    std::string program = "import json,sys\n"
                          "raw=open(sys.argv[1],encoding='utf-8').read()\n"
                          "doc=json.loads(raw, object_pairs_hook=lambda p: p)\n"
                          "def keys(o): return ','.join(k for k,_ in o)\n"
                          "def get(o,k): return dict(o)[k]\n" +
                          script + "\n";
    char scriptPath[] = "/tmp/zelvo-py-XXXXXX";
    fd = ::mkstemp(scriptPath);
    ::close(fd);
    std::ofstream(scriptPath) << program;
    std::string output = runCommand(std::string("python3 ") + scriptPath + " " + path + " 2>&1").output;
    std::filesystem::remove(path);
    std::filesystem::remove(scriptPath);
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

} // namespace beacon::test
