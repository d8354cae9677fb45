// SPDX-License-Identifier: MIT
#include "form/form_controls.h"

#include "base/translation.h"
#include "form/command_groups.h"

namespace pictavo {

FormControls::FormControls(Host& h)
    : host(h),
      files(h.files()),
      pictures(h.pictures()),
      drvList("drvList", {75, 405, 2025, 300}, files),
      dirList("dirList", kFolderListDesign, files),
      filList("filList", kFileListDesign, files, kFilePattern) {
    CommonDialog1.initDir = h.StartFolder();
    pstBtn.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "Paste from clipboard")));
    cpyBtn.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "Copy to clipboard")));
    svcomBtn.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "change to bitmap")));
    delBtn.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "Delete")));
    SetBtn.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "Set wall paper")));
    UnsetBtn.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "Delete wall paper")));
    autoRn.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "Play")));
    stpBtn.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "Stop")));
    Slider1.setToolTip(translated(QT_TRANSLATE_NOOP("pictavo", "Speed(1-3sec)")));

    Timer1.setEnabled(false);
    Timer1.setVisible(false);
    Timer1.setInterval(1000);
    filSize.setVisible(false);
    // With nothing shown yet, the controls that need a picture start off; their menu
    // items are turned off by Form_Load.
    for (const CommandControls& c : commandsOf(*this, Commands::Picture))
        if (c.control) c.control->setEnabled(false);

    // The scroll bars start hidden along the viewport's bottom and right edges.
    const ScrollBarPlaces bars = scrollBarPlaces(Picture1.place());
    HScroll1.setVisible(false);
    HScroll1.setLeft(bars.horizontal.left);
    HScroll1.setTop(bars.horizontal.top);
    HScroll1.setWidth(bars.horizontal.width);
    HScroll1.setHeight(bars.horizontal.height);
    VScroll1.setVisible(false);
    VScroll1.setLeft(bars.vertical.left);
    VScroll1.setTop(bars.vertical.top);
    VScroll1.setWidth(bars.vertical.width);
    VScroll1.setHeight(bars.vertical.height);
}

std::array<MenuItem*, 7> FormControls::menuEntries() { return {&Edit, &bmp, &renm, &Del, &Cpy, &Cls, &Version}; }

std::array<Control*, 16> FormControls::tabOrder() {
    return {&filList,  &drvList,  &dirList, &autoRn, &stpBtn,   &delBtn, &svcomBtn, &HScroll1,
            &VScroll1, &Picture1, &cpyBtn,  &SetBtn, &UnsetBtn, &lstCnt, &Slider1,  &pstBtn};
}

MenuItem& FormControls::menuByIndex(int index) {
    for (MenuItem* m : menuEntries())
        if (m->index() == index) return *m;
    throw HostError("Control array element '" + std::to_string(index) + "' doesn't exist");
}

}  // namespace pictavo
