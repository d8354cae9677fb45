// SPDX-License-Identifier: MIT
#include "app/form1.h"

#include <exception>
#include <optional>

#include "base/translation.h"
#include "browser/browser.h"
#include "commands/commands.h"
#include "form/command_groups.h"
#include "form/rules.h"
#include "program_info.h"
#include "slideshow/slideshow.h"
#include "view/view.h"
#include "wallpaper/wallpaper.h"

namespace pictavo {

Form1::Form1(Host& host) : c(host) {
    c.drvList.onChange = [this] { drvList_Change(c); };
    c.dirList.onChange = [this] { dirList_Change(c); };
    c.dirList.onClick = [this] { dirList_Click(c); };
    c.filList.onClick = [this] { filList_Click(c); };
    c.HScroll1.onChange = [this] { HScroll1_Change(c); };
    c.VScroll1.onChange = [this] { VScroll1_Change(c); };
    c.autoRn.onClick = [this] { autoRn_Click(c); };
    c.stpBtn.onClick = [this] { stpBtn_Click(c); };
    c.Timer1.onTimer = [this] { Timer1_Timer(c); };
    c.Slider1.onScroll = [this] { Slider1_Scroll(c); };
    c.bmp.onClick = [this] { bmp_Click(c); };
    c.svcomBtn.onClick = [this] { svcomBtn_Click(c); };
    c.renm.onClick = [this] { renm_Click(c); };
    c.Del.onClick = [this] { Del_Click(c); };
    c.delBtn.onClick = [this] { delBtn_Click(c); };
    c.Cpy.onClick = [this] { Cpy_Click(c); };
    c.cpyBtn.onClick = [this] { cpyBtn_Click(c); };
    c.pstBtn.onClick = [this] { pstBtn_Click(c); };
    c.SetBtn.onClick = [this] { SetBtn_Click(c); };
    c.UnsetBtn.onClick = [this] { UnsetBtn_Click(c); };
    c.Cls.onClick = [this] { Cls_Click(); };
    c.Version.onClick = [this] { Version_Click(); };
}

void Form1::dispatch(const std::function<void()>& event) {
    struct EventScope {
        FileSystem& files;
        explicit EventScope(FileSystem& f) : files(f) { files.EventStarted(); }
        ~EventScope() { files.EventEnded(); }
    } scope(c.files);
    try {
        event();
    } catch (const std::exception& e) {
        try {
            c.host.MsgBox(e.what(), MsgFlags::OkOnly);
        } catch (...) {
            // Nothing more can be said to the person; the program goes on.
        }
    }
}

void Form1::pictureArrived() {
    const auto& arrival = c.Image1.picture().arrival();
    if (!arrival) return;
    if (arrival->end() == Arrival::End::Failed) {
        if (c.shownBefore.pasted) {
            Paste_Broken(c);
        } else {
            Image1_Broken(c);
        }
    } else if (arrival->end() == Arrival::End::Whole) {
        // Nothing to go back to any more: a large photo's memory is not kept twice.
        c.shownBefore = {};
    }
}

void Form1::Form_Load() {
    c.drvList.setDrive(c.host.StartDrive());
    c.dirList.setPath(c.host.StartFolder());
    c.HScroll1.setVisible(false);
    c.VScroll1.setVisible(false);
    enable(c, Commands::Picture, false);
}

void Form1::clipboardWatch() { c.pstBtn.setEnabled(c.host.ClipboardHasBitmap()); }

void Form1::Form_Activate() { clipboardWatch(); }

void Form1::Form_MouseMove() { clipboardWatch(); }

void Form1::resize(float outerWidth, float outerHeight) {
    width_ = outerWidth;
    height_ = outerHeight;
    Form_Resize();
}

void Form1::Form_Resize() {
    if (height() < kButtonsMinHeight) {
        c.delBtn.setEnabled(false);
        c.svcomBtn.setEnabled(false);
        c.cpyBtn.setEnabled(false);
    }
    const std::optional<WindowLayout> layout = windowLayout(width(), height());
    if (!layout) return;
    // In this order: a new Max may move a bar's value, which moves the picture at once.
    c.Picture1.setHeight(layout->picture.height);
    c.Picture1.setWidth(layout->picture.width);
    c.HScroll1.setTop(layout->hscroll.top);
    c.HScroll1.setLeft(layout->hscroll.left);
    c.HScroll1.setWidth(layout->hscroll.width);
    c.VScroll1.setLeft(layout->vscroll.left);
    c.VScroll1.setTop(layout->vscroll.top);
    c.VScroll1.setHeight(layout->vscroll.height);
    c.HScroll1.setMax(scrollRange(c.Image1.place().width, c.Picture1.place().width));
    c.VScroll1.setMax(scrollRange(c.Image1.place().height, c.Picture1.place().height));
    c.dirList.setHeight(layout->folders.height);
    c.filList.setTop(layout->files.top);
    c.filList.setHeight(layout->files.height);
    fitScrollBar(c.HScroll1, c.Image1.place().width, c.Picture1.place().width, false);
    fitScrollBar(c.VScroll1, c.Image1.place().height, c.Picture1.place().height, false);
    const std::string sep(1, c.files.Separator());
    if (c.filSize.text().empty()) {
        c.StatusBar1.setPanelText(1, c.dirList.path());
    } else {
        c.StatusBar1.setPanelText(1, c.dirList.path() + sep + c.filList.fileName());
    }
}

void Form1::Cls_Click() {
    if (c.host.MsgBox(translated(QT_TRANSLATE_NOOP("pictavo", "プログラムを終了します。")),
                      MsgFlags::OkCancelInformation, std::string(kProgramTitle)) != MsgResult::Ok)
        return;
    // Our copied picture must not outlive the program; what another program copied since
    // is the person's, and stays.
    if (c.host.ClipboardHoldsOwnPicture()) c.host.ClipboardClear();
    c.host.Unload("Form1");
}

void Form1::Version_Click() { c.host.Show("frmAbout"); }

}  // namespace pictavo
