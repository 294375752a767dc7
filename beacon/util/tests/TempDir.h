#pragma once

#include "platform/linux/testing/RunProgram.h"

// A fresh directory, removed with its contents; `path` names it.
using TempDir = zelvo::testing::TemporaryFolder;
