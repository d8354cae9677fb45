// SPDX-License-Identifier: MIT
#pragma once
// The main window's controls and the three shared variables, as the handlers see them.
// Every control has its design place and initial state from construction on.

#include <array>
#include <string>

#include "controls/controls.h"
#include "files/file_system.h"
#include "form/layout.h"
#include "platform/host.h"

namespace pictavo {

inline constexpr const char* kFilePattern = "*.jpg*;*.bmp*;*.gif*";

struct FormControls {
    explicit FormControls(Host& host);

    Host& host;
    FileSystem& files;          // the host's
    PicturePipeline& pictures;  // the host's

    // In creation order.
    Button pstBtn{"pstBtn", {1035, 30, 320, 315}};
    Timer Timer1{"Timer1"};
    StatusBar StatusBar1{"StatusBar1"};
    Button cpyBtn{"cpyBtn", {720, 30, 320, 315}};
    TextBox filSize{"filSize"};
    PictureBox Picture1{"Picture1", kViewportDesign};
    Image Image1{"Image1"};
    ScrollBar VScroll1{"VScroll1", Orientation::Vertical};
    ScrollBar HScroll1{"HScroll1", Orientation::Horizontal};
    DriveList drvList;
    DirList dirList;
    FileList filList;
    Button svcomBtn{"svcomBtn", {105, 30, 320, 315}};
    Button delBtn{"delBtn", {405, 30, 320, 315}};
    SaveDialogState CommonDialog1;
    Button SetBtn{"SetBtn", {1545, 30, 320, 315}};
    Button UnsetBtn{"UnsetBtn", {1860, 30, 320, 315}};
    TextBox lstCnt{"lstCnt", {2445, 60, 735, 270}};
    Button autoRn{"autoRn", {3555, 30, 315, 315}};
    Slider Slider1{"Slider1", {3870, 30, 735, 300}, 1, 3};
    Button stpBtn{"stpBtn", {3240, 30, 320, 315}};
    // Members 0 to 3, outlining the groups of the top strip.
    std::array<Frame, 4> Frame1{Frame{"Frame1", 0, {2325, -90, 2310, 480}}, Frame{"Frame1", 1, {30, -90, 1395, 480}},
                                Frame{"Frame1", 2, {1500, -90, 750, 480}}, Frame{"Frame1", 3, {4725, -90, 1125, 480}}};

    // The menu bar; the numbers are the control-array indexes. The captions are the
    // commands' own names and read the same in every language: they are not translated.
    MenuItem Version{"Version", "Version", 1};
    MenuItem Edit{"Edit", "Edit", 2};
    MenuItem bmp{"bmp", "Save for BMP", 3};
    MenuItem Del{"Del", "Delete", 4};
    MenuItem Cls{"Cls", "Close", 5};
    MenuItem Cpy{"Cpy", "Copy to Clipboad", 7};
    MenuItem renm{"renm", "Rename(save)", 8};

    // Shared variables.
    std::string picPath;
    std::string lstPos;
    std::string lstTotal;

    // What the view showed before the picture that is still arriving, to go back to should
    // that picture turn out broken part way.
    struct ShownBefore {
        Picture picture;
        std::string lstPos;
        std::string filSize;
        std::string path;
        std::string size;
        bool pasted = false;  // the picture still arriving came from the clipboard
    } shownBefore;

    // The way the person last stepped through the file list (+1 down, -1 up), and from
    // where: the photo ahead in that direction is the likeliest next.
    std::int32_t steppedFrom = -1;
    int stepDirection = 1;

    // The menu entries in menu-bar order: Edit, its four items, Close, Version.
    [[nodiscard]] std::array<MenuItem*, 7> menuEntries();
    // The controls that take the keyboard focus, in tab order.
    [[nodiscard]] std::array<Control*, 16> tabOrder();
    // A menu entry by its control-array index; throws for an index that is not in use.
    [[nodiscard]] MenuItem& menuByIndex(int index);
};

}  // namespace pictavo
