// SPDX-License-Identifier: MIT
// Deleting moves files to the desktop's trash under XDG_DATA_HOME, which GLib reads once
// per process: every test run gets a data folder of its own before any test starts, so
// that no test fills the trash of the person running them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/test_host.h"

int main(int argc, char* argv[]) {
    const pictavo::test::TempDir dataHome;
    ::setenv("XDG_DATA_HOME", dataHome.path().c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
