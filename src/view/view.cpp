// SPDX-License-Identifier: MIT
#include "view/view.h"

#include "form/command_groups.h"
#include "form/rules.h"

#include <utility>

namespace pictavo {

namespace {

void loadFailed(FormControls& f) {
    f.host.MsgBox(translated(kLoadFailedMessage), MsgFlags::OkOnly);
    f.host.SetMousePointer(MousePointer::Default);
    f.filList.refresh();
    // Nothing to clear when the folder lists no file any more.
    if (f.filList.listCount() > 0) f.filList.setSelected(0, false);
    enable(f, Commands::Show, false);
    enable(f, Commands::Delete, false);
    enable(f, Commands::Copy, false);
    // Re-read the folder list rather than move the focus to it: a person stepping through
    // the files with the arrow keys keeps the focus in the file list.
    f.dirList.refresh();
}

}  // namespace

void filList_Click(FormControls& f) {
    try {
        f.host.SetMousePointer(MousePointer::Hourglass);
        const std::string sep(1, f.files.Separator());
        f.picPath = listedFilePath(f, f.filList.fileName());
        const std::int32_t row = f.filList.listIndex();
        if (f.steppedFrom >= 0 && row != f.steppedFrom) f.stepDirection = row < f.steppedFrom ? -1 : 1;
        f.steppedFrom = row;
        Picture picture = f.pictures.open(f.files.toNative(f.picPath));
        // What the view showed is kept only while the new picture may still be found broken.
        const auto& arriving = picture.arrival();
        if (arriving && arriving->end() != Arrival::End::Whole) {
            f.shownBefore = {f.Image1.picture(), f.lstPos, f.filSize.text(), f.StatusBar1.panel(1).text,
                             f.StatusBar1.panel(2).text};
        } else {
            f.shownBefore = {};
        }
        f.Image1.setPicture(std::move(picture), f.host.TwipsPerPixelX(), f.host.TwipsPerPixelY());
        f.lstPos = countText(static_cast<std::int64_t>(f.filList.listIndex()) + 1);
        showPosition(f);
        fitViewport(f);
        f.host.SetMousePointer(MousePointer::Default);

        const bool bitmap = isBitmapPath(f.picPath);
        if (!f.Timer1.enabled()) {
            setBitmapCommands(f, bitmap);
        } else {
            enable(f, Commands::Save, false);
            f.SetBtn.setEnabled(bitmap);
            f.renm.setEnabled(false);
        }

        f.filSize.setText(sizeText(f.files.FileLen(f.picPath)));
        f.StatusBar1.setPanelText(1, f.dirList.path() + sep + f.filList.fileName());
        f.StatusBar1.setPanelText(2, f.filSize.text());

        // A show steps to another file at the next tick: what acts on the file waits.
        const bool showRunning = f.Timer1.enabled();
        enable(f, Commands::OnFile, !showRunning);
        if (!showRunning) enable(f, Commands::Play, f.lstPos != f.lstTotal);
        enable(f, Commands::Copy, true);
    } catch (const HostError&) {
        loadFailed(f);
    }
}

void Image1_Broken(FormControls& f) {
    FormControls::ShownBefore before = std::exchange(f.shownBefore, {});
    // A picture that had not arrived whole when this one replaced it was let go half
    // decoded: nothing is shown rather than half of it.
    const auto& arrival = before.picture.arrival();
    if (arrival && arrival->end() != Arrival::End::Whole) before.picture = {};
    f.Image1.setPicture(std::move(before.picture), f.host.TwipsPerPixelX(), f.host.TwipsPerPixelY());
    f.lstPos = before.lstPos;
    showPosition(f);
    fitViewport(f);
    f.filSize.setText(before.filSize);
    f.StatusBar1.setPanelText(1, before.path);
    f.StatusBar1.setPanelText(2, before.size);
    loadFailed(f);
}

void HScroll1_Change(FormControls& f) { f.Image1.setLeft(-static_cast<float>(f.HScroll1.value())); }
void VScroll1_Change(FormControls& f) { f.Image1.setTop(-static_cast<float>(f.VScroll1.value())); }

}  // namespace pictavo
