// SPDX-License-Identifier: MIT
#include <string>
#include <string_view>

#include "commands/commands.h"
#include "form/command_groups.h"
#include "form/rules.h"

namespace pictavo {

namespace {

// The data written is always a bitmap; a name typed without an extension gets ".bmp" so
// that the file list, which lists pictures by their extension, shows the saved file.
std::string withBitmapExtension(const std::string& path, char separator) {
    const auto cut = path.find_last_of(separator);
    const std::string_view name = std::string_view(path).substr(cut == std::string::npos ? 0 : cut + 1);
    if (name.empty() || name.find('.') != std::string_view::npos) return path;
    return path + ".bmp";
}

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
        dialog.fileName = withBitmapExtension(dialog.fileName, f.files.Separator());
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
