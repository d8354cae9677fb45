// SPDX-License-Identifier: MIT
#include "base/errors.h"

#include <cctype>

namespace pictavo {

std::string reasonText(const std::error_code& ec) {
    std::string text = ec.message();
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace pictavo
