// SPDX-License-Identifier: MIT
#pragma once
// Setting and clearing the desktop wall paper through the system's one call.

#include "base/translation.h"
#include "form/form_controls.h"

namespace pictavo {

inline constexpr const char* kWallpaperFailedMessage = QT_TRANSLATE_NOOP("pictavo", "壁紙の設定に失敗しました。");

void SetBtn_Click(FormControls& f);
void UnsetBtn_Click(FormControls& f);

}  // namespace pictavo
