#pragma once
// Opening the selected picture, fitting the viewport to it, and panning.

#include "base/translation.h"
#include "form/form_controls.h"

namespace pictavo {

inline constexpr const char* kLoadFailedMessage =
    QT_TRANSLATE_NOOP("pictavo", "ファイルを正常にロードできませんでした");

void filList_Click(FormControls& f);
void HScroll1_Change(FormControls& f);
void VScroll1_Change(FormControls& f);

}  // namespace pictavo
