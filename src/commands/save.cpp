#include "commands/commands.h"
#include "form/rules.h"

namespace pictavo {

namespace {

enum class SaveCommand { Menu, Button, Rename };

void saveAsBitmap(FormControls& f, SaveCommand command) {
    if (command != SaveCommand::Rename) f.host.MsgBox(kBitmapNotice, MsgFlags::OkOnly);
    auto& dialog = f.CommonDialog1;
    dialog.cancelError = true;
    // Every error from here on (a cancelled dialog among them) ends the command silently,
    // except a failed write, which the person must hear about.
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
        if (!f.host.Dir(dialog.fileName).empty()) {
            if (f.host.MsgBox(kOverwriteQuestion, MsgFlags::OkCancelExclamation, std::string(kOverwriteTitle)) !=
                MsgResult::Ok) {
                f.svcomBtn.setEnabled(true);
                f.bmp.setEnabled(true);
                f.SetBtn.setEnabled(false);
                if (command == SaveCommand::Button) f.Cpy.setEnabled(true);
                return;
            }
        }
        try {
            f.host.SavePicture(f.Image1.picture(), dialog.fileName);
        } catch (const HostError& e) {
            f.host.MsgBox(std::string(kSaveFailedMessage) + "\n" + e.what(), MsgFlags::OkOnly);
            return;
        }
        f.filList.refresh();
        recount(f);
        f.host.MsgBox(kSavedMessage, MsgFlags::OkOnly);
        const bool renamed = command == SaveCommand::Rename;
        f.svcomBtn.setEnabled(renamed);
        f.bmp.setEnabled(renamed);
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
