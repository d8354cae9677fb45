#pragma once
// The drive, folder and file lists: a change of drive or folder resets the browser's
// bookkeeping and points the file list at the open folder.

#include <cstdint>
#include <string>

#include "controls/form_controls.h"

namespace pictavo {

// Plain decimal text of a count or position: "0", "7", "100000".
[[nodiscard]] std::string countText(std::int64_t n);

// lstTotal from the list count, lstPos from the selection, and the lstCnt text.
void recount(FormControls& f);

// lstCnt shows position/count: "3/12".
void showPosition(FormControls& f);

void dirList_Change(FormControls& f);
void dirList_Click(FormControls& f);
void drvList_Change(FormControls& f);

}  // namespace pictavo
