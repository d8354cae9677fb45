// SPDX-License-Identifier: MIT
#include "commands/commands.h"
#include "form/command_groups.h"
#include "form/rules.h"

#include <utility>

namespace pictavo {

namespace {

void copyPicture(FormControls& f) {
    if (!pictureArrivedWhole(f)) return;
    f.host.ClipboardClear();
    f.host.ClipboardSetData(f.Image1.picture());
    f.StatusBar1.setPanelText(
        1, f.dirList.path() + f.files.Separator() + f.filList.fileName() + translated(kCopiedSuffix));
    if (f.host.ClipboardHasBitmap()) f.pstBtn.setEnabled(true);
    enable(f, Commands::Copy, false);
}

}  // namespace

void Cpy_Click(FormControls& f) { copyPicture(f); }
void cpyBtn_Click(FormControls& f) { copyPicture(f); }

void pstBtn_Click(FormControls& f) {
    const ClipboardPicture offered = f.host.ClipboardGetData();
    if (offered.format.isEmpty()) {
        // Another program has replaced or emptied the clipboard since the button was
        // enabled: keep the picture in view and bring the button up to date.
        f.pstBtn.setEnabled(false);
        return;
    }
    Picture picture;
    try {
        picture = f.pictures.open(offered);
    } catch (const HostError&) {
        // Another program's broken, cut-short or oversized picture: nothing is pasted, and
        // the person is told as for a file that cannot be loaded.
        f.host.MsgBox(translated(kPasteFailedMessage), MsgFlags::OkOnly);
        return;
    }
    // A large picture arrives while the window goes on; what it replaced is kept while it
    // may still be found broken.
    const auto& arriving = picture.arrival();
    if (arriving && arriving->end() != Arrival::End::Whole) {
        f.shownBefore = {f.Image1.picture(),         f.lstPos, f.filSize.text(), f.StatusBar1.panel(1).text,
                         f.StatusBar1.panel(2).text, true};
    } else {
        f.shownBefore = {};
    }
    f.Image1.setPicture(std::move(picture), f.host.TwipsPerPixelX(), f.host.TwipsPerPixelY());
    fitViewport(f);
    f.host.SetMousePointer(MousePointer::Default);
    enable(f, Commands::Save, true);
    // The view no longer shows the file at picPath: deleting it or making it the wall
    // paper would act on a file the person does not see. Opening a file enables them.
    enable(f, Commands::Delete, false);
    f.SetBtn.setEnabled(false);
}

void Paste_Broken(FormControls& f) {
    FormControls::ShownBefore before = std::exchange(f.shownBefore, {});
    // What the view showed before comes back, unless it had not arrived whole itself.
    const auto& arrival = before.picture.arrival();
    if (arrival && arrival->end() != Arrival::End::Whole) before.picture = {};
    const bool nothingShown = before.picture.isNull();
    f.Image1.setPicture(std::move(before.picture), f.host.TwipsPerPixelX(), f.host.TwipsPerPixelY());
    fitViewport(f);
    f.host.MsgBox(translated(kPasteFailedMessage), MsgFlags::OkOnly);
    if (nothingShown) {
        enable(f, Commands::Save, false);
        enable(f, Commands::Copy, false);
    }
}

}  // namespace pictavo
