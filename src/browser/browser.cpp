// SPDX-License-Identifier: MIT
#include "browser/browser.h"

#include "form/command_groups.h"
#include "form/rules.h"

namespace pictavo {

namespace {

// The steps a folder change and a drive change share once the file list is filled.
void afterListing(FormControls& f) {
    recount(f);
    if (std::stod(f.lstPos) == 0) {
        enable(f, Commands::Play, false);
    }
}

}  // namespace

void dirList_Change(FormControls& f) {
    enable(f, Commands::Delete, false);
    f.Cpy.setEnabled(false);
    enable(f, Commands::Play, false);
    f.filList.setPath(f.dirList.path());
    f.Timer1.setEnabled(false);
    afterListing(f);
    f.stpBtn.setEnabled(false);
}

void dirList_Click(FormControls& f) { dirList_Change(f); }

void drvList_Change(FormControls& f) {
    try {
        f.dirList.setPath(f.drvList.drive());
        f.Timer1.setEnabled(false);
        afterListing(f);
        f.stpBtn.setEnabled(false);
    } catch (const HostError&) {
        // A drive that is not ready: put the drive list back on the open folder's drive,
        // which runs this handler again for that drive. No message.
        f.drvList.setDrive(f.dirList.path());
    }
}

}  // namespace pictavo
