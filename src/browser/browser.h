// SPDX-License-Identifier: MIT
#pragma once
// The drive, folder and file lists: a change of drive or folder resets the browser's
// bookkeeping and points the file list at the open folder.

#include "form/form_controls.h"

namespace pictavo {

void dirList_Change(FormControls& f);
void dirList_Click(FormControls& f);
void drvList_Change(FormControls& f);

}  // namespace pictavo
