// SPDX-License-Identifier: MIT
#pragma once
// What a core test file starts with: the main window over a scripted host, the helpers that
// write and read its files, and their names without the namespaces, so that the cases read
// as rules.

#include <filesystem>

#include "support/form_fixture.h"

namespace fs = std::filesystem;
using namespace pictavo;
using namespace pictavo::test;
