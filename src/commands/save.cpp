#include "commands/commands.h"
#include "form/command_groups.h"
#include "form/rules.h"

namespace pictavo {

namespace {

enum class SaveCommand { Menu, Button, Rename };

void saveAsBitmap(FormControls& f, SaveCommand command) {
    if (!pictureArrivedWhole(f)) return;
    if (command != SaveCommand::Rename) f.host.MsgBox(translated(kBitmapNotice), MsgFlags::OkOnly);
    auto& dialog = f.CommonDialog1;
    dialog.cancelError = true;
    // A cancelled dialog ends the command silently.
    try {
        dialog.flags = 4;
        switch (command) {
            case SaveCommand::Menu: dialog.filter = "*.bmp"; break;
            case SaveCommand::Button: dialog.filter = "*.bmp(*.bmp)|*.bmp|"; break;
            case SaveCommand::Rename:
                dialog.fileName = f.filList.fileName();
                dialog.filter = "bmp(*.bmp)|*.bmp|gif(*.gif)|*.gif|jpeg(*.jpg)|*.jpg|";
                break;
        }
        if (!f.host.ShowSave(dialog)) return;
    } catch (const HostError&) {
        return;
    }
    // Once a name is chosen, the person hears of every failure to save under it. Whatever
    // has the name (a link, a FIFO, a folder) is asked about before anything happens.
    try {
        if (f.files.EntryExists(dialog.fileName)) {
            if (f.host.MsgBox(translated(kOverwriteQuestion), MsgFlags::OkCancelExclamation,
                              translated(kOverwriteTitle)) != MsgResult::Ok) {
                enable(f, Commands::Save, true);
                f.SetBtn.setEnabled(false);
                if (command == SaveCommand::Button) f.Cpy.setEnabled(true);
                return;
            }
        }
        f.files.SavePicture(f.Image1.picture(), dialog.fileName);
    } catch (const HostError& e) {
        f.host.MsgBox(translated(kSaveFailedMessage) + "\n" + e.what(), MsgFlags::OkOnly);
        return;
    }
    // The file is written; a list that cannot be re-read now ends the command quietly.
    try {
        f.filList.refresh();
        recount(f);
        f.host.MsgBox(translated(kSavedMessage), MsgFlags::OkOnly);
        const bool renamed = command == SaveCommand::Rename;
        enable(f, Commands::Save, renamed);
        f.SetBtn.setEnabled(false);
        if (command == SaveCommand::Button) f.Cpy.setEnabled(true);
    } catch (const HostError&) {
    }
}

}  // namespace

void bmp_Click(FormControls& f) { saveAsBitmap(f, SaveCommand::Menu); }
void svcomBtn_Click(FormControls& f) { saveAsBitmap(f, SaveCommand::Button); }
void renm_Click(FormControls& f) { saveAsBitmap(f, SaveCommand::Rename); }

}  // namespace pictavo
