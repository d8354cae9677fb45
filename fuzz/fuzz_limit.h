// SPDX-License-Identifier: MIT
#pragma once
// The bound the picture fuzz targets hold each picture to: a quarter of the program's, the
// largest picture still decoded in a few seconds under the sanitizers, so that an input
// that takes longer than the fuzzer's timeout is a hang and not merely a large picture.
// The code that enforces the bound is the same whatever its value.

#include <cstdint>

inline constexpr std::int64_t kFuzzLimitBytes = std::int64_t(256) * 1024 * 1024;
