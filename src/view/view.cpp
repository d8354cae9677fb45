#include "view/view.h"

#include "form/rules.h"

namespace pictavo {

namespace {

void loadFailed(FormControls& f) {
    f.host.MsgBox(translated(kLoadFailedMessage), MsgFlags::OkOnly);
    f.host.SetMousePointer(MousePointer::Default);
    f.filList.refresh();
    // Nothing to clear when the folder lists no file any more.
    if (f.filList.listCount() > 0) f.filList.setSelected(0, false);
    f.Timer1.setEnabled(false);
    f.stpBtn.setEnabled(false);
    f.delBtn.setEnabled(false);
    f.Del.setEnabled(false);
    f.cpyBtn.setEnabled(false);
    f.Cpy.setEnabled(false);
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
        f.Image1.setPicture(f.files.LoadPicture(f.picPath), f.host.TwipsPerPixelX(), f.host.TwipsPerPixelY());
        f.lstPos = countText(static_cast<std::int64_t>(f.filList.listIndex()) + 1);
        showPosition(f);
        fitViewport(f);
        f.host.SetMousePointer(MousePointer::Default);

        const bool bitmap = isBitmapPath(f.picPath);
        if (!f.Timer1.enabled()) {
            setBitmapCommands(f, bitmap);
        } else {
            f.svcomBtn.setEnabled(false);
            f.bmp.setEnabled(false);
            f.SetBtn.setEnabled(bitmap);
            f.renm.setEnabled(false);
        }

        f.filSize.setText(sizeText(f.files.FileLen(f.picPath)));
        f.StatusBar1.setPanelText(1, f.dirList.path() + sep + f.filList.fileName());
        f.StatusBar1.setPanelText(2, f.filSize.text());

        if (!f.Timer1.enabled()) {
            f.delBtn.setEnabled(true);
            f.Del.setEnabled(true);
            f.renm.setEnabled(true);
            const bool last = f.lstPos == f.lstTotal;
            f.autoRn.setEnabled(!last);
            f.Slider1.setEnabled(!last);
        } else {
            f.delBtn.setEnabled(false);
            f.Del.setEnabled(false);
            f.renm.setEnabled(false);
        }
        f.cpyBtn.setEnabled(true);
        f.Cpy.setEnabled(true);
    } catch (const HostError&) {
        loadFailed(f);
    }
}

void HScroll1_Change(FormControls& f) { f.Image1.setLeft(-static_cast<float>(f.HScroll1.value())); }
void VScroll1_Change(FormControls& f) { f.Image1.setTop(-static_cast<float>(f.VScroll1.value())); }

}  // namespace pictavo
