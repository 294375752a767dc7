#pragma once

// Helpers shared by the model and context tests.

#include "beacon/archive/Iso8601.h"
#include "beacon/testing/SampleDevices.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/tests/LogCapture.h"
#include "beacon/util/tests/ProcessRunner.h"
#include "beacon/util/tests/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace beacon::test {

// Launches of a context class: each a new instance over one settings store,
// reading the fixture's clock.
template <typename Context> class LaunchTest : public ::testing::Test {
protected:
    std::shared_ptr<Context> launch() {
        return std::make_shared<Context>(store, [this] { return now; });
    }
    std::shared_ptr<BeaconUserDefaults> store =
        std::make_shared<BeaconUserDefaults>(std::make_shared<platform::UserDefaults>());
    Date now = std::chrono::sys_days{std::chrono::May / 1 / 2024};
};

// A typed property of class P with the given name and value.
template <typename P, typename V> std::shared_ptr<P> typedProperty(std::string name, V value) {
    auto property = std::make_shared<P>();
    property->name = std::move(name);
    property->value = std::move(value);
    return property;
}

// Runs Python's json module over the text and returns what the script
// prints. The script sees the parsed value as `doc` (objects as lists of
// (key, value) pairs, so key order can be checked) and the raw text as `raw`.
inline std::string python(const std::string& jsonText, const std::string& script) {
    ::TempDir dir;
    const auto document = dir.path / "document.json", check = dir.path / "check.py";
    std::ofstream(document, std::ios::binary) << jsonText;
    std::string program = "import json,sys\n"
                          "raw=open(sys.argv[1],encoding='utf-8').read()\n"
                          "doc=json.loads(raw, object_pairs_hook=lambda p: p)\n"
                          "def keys(o): return ','.join(k for k,_ in o)\n"
                          "def get(o,k): return dict(o)[k]\n" +
                          script + "\n";
    std::ofstream(check) << program;
    std::string output = runCommand("python3 " + check.string() + " " + document.string() + " 2>&1").output;
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

} // namespace beacon::test
