// SPDX-License-Identifier: MIT
#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>

#include "platform/system_parameters.h"

namespace pictavo::os {

int SystemParametersInfoA(unsigned action, unsigned param, const std::string& text, unsigned flags) {
    // The program's texts are UTF-8; the call takes the system's ANSI code page.
    std::vector<char> ansi(1, '\0');
    if (!text.empty()) {
        const int wide = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
        if (wide <= 0) return 0;
        std::vector<wchar_t> w(static_cast<std::size_t>(wide));
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, w.data(), wide);
        const int bytes = WideCharToMultiByte(CP_ACP, 0, w.data(), -1, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) return 0;
        ansi.resize(static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_ACP, 0, w.data(), -1, ansi.data(), bytes, nullptr, nullptr);
    }
    return ::SystemParametersInfoA(action, param, ansi.data(), flags) ? 1 : 0;
}

}  // namespace pictavo::os
#endif
