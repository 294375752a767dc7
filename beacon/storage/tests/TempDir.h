#pragma once

#include "crashcapture/tests/TemporaryDirectory.h"

namespace beacon::test {

// A fresh directory, removed with its contents.
using TempDir = crashcapture::testing::TemporaryDirectory;

} // namespace beacon::test
