// SPDX-License-Identifier: MIT
#pragma once
// The desktop's wall-paper call, by value: served by the desktop's own persistent setting
// (GSettings on GNOME, Cinnamon and MATE, xfconf on XFCE, Plasma's scripting on KDE,
// pcmanfm-qt on LXQt).

#include <string>
#include <string_view>

namespace pictavo::os {

inline constexpr unsigned kSpiSetDeskWallpaper = 20;
inline constexpr unsigned kSpifUpdateIniFile = 1;

// action 20 with a path sets the wall paper, with "" clears it. Returns non-zero on success
// and 0 when no supported desktop is found, the setting is refused, or it does not hold.
int SystemParametersInfoA(unsigned action, unsigned param, const std::string& text, unsigned flags);

enum class Desktop { Gnome, Cinnamon, Mate, Xfce, Kde, Lxqt, Unknown };

// From XDG_CURRENT_DESKTOP ("ubuntu:GNOME", "X-Cinnamon", "MATE", "XFCE", "KDE", "LXQt", ...).
[[nodiscard]] Desktop detectDesktop(std::string_view currentDesktop);

// "file://" and the path's bytes, percent-encoded outside letters, digits, "-._~/".
[[nodiscard]] std::string fileUri(std::string_view path);

}  // namespace pictavo::os
