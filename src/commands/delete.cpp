// SPDX-License-Identifier: MIT
#include <cmath>
#include <cstdio>

#include "commands/commands.h"
#include "form/command_groups.h"
#include "form/rules.h"

namespace pictavo {

namespace {

// "12" becomes "11": the count as a number, less one, back to text.
std::string decrementText(const std::string& text) {
    const double value = std::stod(text) - 1.0;
    if (value == std::floor(value) && std::fabs(value) < 1e15) return countText(static_cast<std::int64_t>(value));
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

void deletePicture(FormControls& f) {
    if (f.host.MsgBox(translated(kDeleteQuestion), MsgFlags::OkCancelQuestion, translated(kDeleteTitle)) !=
        MsgResult::Ok)
        return;
    if (f.files.Dir(f.picPath).empty()) {
        f.host.MsgBox(translated(kAlreadyGoneMessage), MsgFlags::OkOnly);
        f.filList.refresh();
        enable(f, Commands::Delete, false);
        f.SetBtn.setEnabled(false);
        return;
    }
    // A file shown from the command line that the list leaves out was never counted.
    const bool counted = !f.filList.unlistedShown();
    f.files.Kill(f.picPath);
    f.filList.setPath(f.dirList.path());
    f.filList.refresh();
    if (counted) f.lstTotal = decrementText(f.lstTotal);
    f.lstPos = countText(0);
    showPosition(f);
    enable(f, Commands::OnFile, false);
    f.Cpy.setEnabled(false);
    f.bmp.setEnabled(false);
    f.SetBtn.setEnabled(false);
    f.StatusBar1.setPanelText(1, translated(kDeletedText));
}

}  // namespace

void Del_Click(FormControls& f) { deletePicture(f); }
void delBtn_Click(FormControls& f) { deletePicture(f); }

}  // namespace pictavo
