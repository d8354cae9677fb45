// SPDX-License-Identifier: MIT
#include "slideshow/slideshow.h"

#include "form/command_groups.h"
#include "form/rules.h"

namespace pictavo {

namespace {

void endShow(FormControls& f) {
    enable(f, Commands::Show, false);
    // Play is off already while a show runs: only its slider goes off here.
    enable(f, Commands::Play, false);
    enable(f, Commands::OnFile, true);
    setBitmapCommands(f, isBitmapPath(f.picPath));
}

}  // namespace

void autoRn_Click(FormControls& f) {
    f.Timer1.setEnabled(true);
    f.autoRn.setEnabled(false);
    f.stpBtn.setEnabled(true);
}

void Timer1_Timer(FormControls& f) {
    // The user may have selected the last file by hand during the show: there is no next
    // one to step to, so the show ends as it does on reaching the last file.
    if (f.filList.listIndex() + 1 >= f.filList.listCount()) {
        showPosition(f);
        endShow(f);
        return;
    }
    f.filList.setListIndex(f.filList.listIndex() + 1);
    showPosition(f);
    if (f.lstTotal != f.lstPos) return;
    endShow(f);
}

void stpBtn_Click(FormControls& f) {
    enable(f, Commands::Show, false);
    enable(f, Commands::OnFile, true);
    enable(f, Commands::Play, f.lstTotal != f.lstPos);
    setBitmapCommands(f, isBitmapPath(f.picPath));
}

void Slider1_Scroll(FormControls& f) {
    switch (f.Slider1.value()) {
        case 1: f.Timer1.setInterval(1000); break;
        case 2: f.Timer1.setInterval(2000); break;
        case 3: f.Timer1.setInterval(3000); break;
        default: break;
    }
}

}  // namespace pictavo
