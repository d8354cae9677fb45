// SPDX-License-Identifier: MIT
#pragma once
// The one error kind every layer throws, and the reason text it carries for a system
// error, so that the picture code and the file code say a failure the same way.

#include <stdexcept>
#include <string>
#include <system_error>

namespace pictavo {

// A failing host operation. The text is meant for the person using the program.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads an error code into a short text for the person ("Permission denied").
[[nodiscard]] std::string reasonText(const std::error_code& ec);

}  // namespace pictavo
