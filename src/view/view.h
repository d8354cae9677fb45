// SPDX-License-Identifier: MIT
#pragma once
// Opening the selected picture, fitting the viewport to it, and panning.

#include "base/translation.h"
#include "form/form_controls.h"

namespace pictavo {

inline constexpr const char* kLoadFailedMessage =
    QT_TRANSLATE_NOOP("pictavo", "ファイルを正常にロードできませんでした");

void filList_Click(FormControls& f);
// The picture on view was found broken after its size was known (its decode failed part
// way, or its file changed meanwhile): the view goes back to what it showed before, and
// the person is told as of any file that cannot be loaded.
void Image1_Broken(FormControls& f);
void HScroll1_Change(FormControls& f);
void VScroll1_Change(FormControls& f);

}  // namespace pictavo
