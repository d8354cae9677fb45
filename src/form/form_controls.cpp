#include "form/form_controls.h"

namespace pictavo {

FormControls::FormControls(Host& h)
    : host(h),
      drvList("drvList", {75, 405, 2025, 300}, h),
      dirList("dirList", {75, 720, 2025, 1140}, h),
      filList("filList", {60, 1860, 2055, 1530}, h, kFilePattern) {
    CommonDialog1.initDir = h.StartFolder();
    pstBtn.setToolTip("Paste from clipboard");
    cpyBtn.setToolTip("Copy to clipboard");
    svcomBtn.setToolTip("change to bitmap");
    delBtn.setToolTip("Delete");
    SetBtn.setToolTip("Set wall paper");
    UnsetBtn.setToolTip("Delete wall paper");
    autoRn.setToolTip("Play");
    stpBtn.setToolTip("Stop");
    Slider1.setToolTip("Speed(1-3sec)");

    Timer1.setEnabled(false);
    Timer1.setVisible(false);
    Timer1.setInterval(1000);
    filSize.setVisible(false);
    cpyBtn.setEnabled(false);
    svcomBtn.setEnabled(false);
    delBtn.setEnabled(false);
    SetBtn.setEnabled(false);
    autoRn.setEnabled(false);
    stpBtn.setEnabled(false);
    Slider1.setEnabled(false);

    // The scroll bars start hidden along the viewport's bottom and right edges.
    HScroll1.setVisible(false);
    HScroll1.setLeft(2220);
    HScroll1.setTop(2745 + 390);
    HScroll1.setWidth(3645);
    HScroll1.setHeight(240);
    VScroll1.setVisible(false);
    VScroll1.setLeft(3645 + 2200);
    VScroll1.setTop(420);
    VScroll1.setWidth(255);
    VScroll1.setHeight(2745);
}

std::array<Button*, 8> FormControls::buttons() {
    return {&svcomBtn, &delBtn, &cpyBtn, &pstBtn, &SetBtn, &UnsetBtn, &stpBtn, &autoRn};
}

std::array<MenuItem*, 7> FormControls::menuEntries() { return {&Edit, &bmp, &renm, &Del, &Cpy, &Cls, &Version}; }

std::array<Control*, 16> FormControls::tabOrder() {
    return {&filList, &drvList, &dirList, &autoRn, &stpBtn, &delBtn, &svcomBtn, &HScroll1,
            &VScroll1, &Picture1, &cpyBtn, &SetBtn, &UnsetBtn, &lstCnt, &Slider1, &pstBtn};
}

MenuItem& FormControls::menuByIndex(int index) {
    for (MenuItem* m : menuEntries())
        if (m->index() == index) return *m;
    throw HostError("Control array element '" + std::to_string(index) + "' doesn't exist");
}

}  // namespace pictavo
