// SPDX-License-Identifier: MIT
#pragma once
// The About box: fixed texts, places (twips, relative to its frame) and fonts.

#include <array>
#include <string>

#include "base/translation.h"
#include "controls/controls.h"
#include "platform/host.h"
#include "program_info.h"

namespace pictavo::about {

inline constexpr const char* kTitle = QT_TRANSLATE_NOOP("pictavo", "バージョン情報");
inline constexpr float kClientWidth = 3465;
inline constexpr float kClientHeight = 2025;
inline constexpr Place kFrame{150, 75, 3195, 1800};

struct Label {
    const char* name;
    int index;  // -1 for a control that is not an array member
    const char* text;
    Place place;
    double pointSize;
    bool bold;
    unsigned rgb;
};

inline constexpr std::array<Label, 3> kLabels{{
    {"Label1", -1, PICTAVO_NAME, {210, 180, 2805, 435}, 15.75, true, 0x404040},
    {"Label2", 0, "Ver:" PICTAVO_VERSION, {1635, 660, 885, 330}, 12, false, 0x000000},
    {"Label2", 1, "© " PICTAVO_NAME, {1485, 1020, 1470, 330}, 12, false, 0x000000},
}};

// The emblem: a 70 x 52 pixel bitmap stretched to this place.
inline constexpr Place kImage{165, 615, 1110, 840};
inline constexpr Place kOkButton{1545, 1365, 1155, 345};
inline constexpr const char* kOkText = "OK";

// OK closes the box; the next Version command creates it afresh.
inline void okBtn_Click(Host& host) { host.Unload("frmAbout"); }

}  // namespace pictavo::about
