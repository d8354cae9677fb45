// SPDX-License-Identifier: MIT
#pragma once
// The commands that go on and off together. Each group is written here once; a handler
// switches a whole group at the step where it switches those commands.

#include <vector>

#include "form/form_controls.h"

namespace pictavo {

enum class Commands {
    Save,     // save as bitmap: svcomBtn and the menu item bmp
    Delete,   // delBtn and Del
    Copy,     // cpyBtn and Cpy
    Play,     // Play with its speed slider
    Show,     // a running slide show: the timer and Stop
    OnFile,   // delete and rename, which act on the shown file itself
    Picture,  // every command that needs a picture
};

// One member of a group: a control, the menu item that does the same, or both.
struct CommandControls {
    Control* control;
    MenuItem* menuItem;
};

// In the order they are switched: each control before its menu item.
[[nodiscard]] std::vector<CommandControls> commandsOf(FormControls& f, Commands group);

void enable(FormControls& f, Commands group, bool on);

}  // namespace pictavo
