// SPDX-License-Identifier: MIT
#include "form/command_groups.h"

namespace pictavo {

std::vector<CommandControls> commandsOf(FormControls& f, Commands group) {
    const CommandControls save{&f.svcomBtn, &f.bmp}, del{&f.delBtn, &f.Del}, copy{&f.cpyBtn, &f.Cpy},
        rename{nullptr, &f.renm}, wallPaper{&f.SetBtn, nullptr}, play{&f.autoRn, nullptr}, speed{&f.Slider1, nullptr},
        timer{&f.Timer1, nullptr}, stop{&f.stpBtn, nullptr};
    switch (group) {
        case Commands::Save: return {save};
        case Commands::Delete: return {del};
        case Commands::Copy: return {copy};
        case Commands::Play: return {play, speed};
        case Commands::Show: return {timer, stop};
        case Commands::OnFile: return {del, rename};
        case Commands::Picture: return {del, copy, save, rename, wallPaper, play, stop, speed};
    }
    return {};
}

void enable(FormControls& f, Commands group, bool on) {
    for (const CommandControls& c : commandsOf(f, group)) {
        if (c.control) c.control->setEnabled(on);
        if (c.menuItem) c.menuItem->setEnabled(on);
    }
}

}  // namespace pictavo
