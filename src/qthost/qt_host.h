// SPDX-License-Identifier: MIT
#pragma once
// The host on a Qt desktop: message boxes, the save dialog, the application cursor, the
// clipboard and the program's windows through Qt Widgets, the desktop's wall paper, and
// the real file system with this machine's mounted volumes as drives.

#include <QByteArray>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <map>
#include <string>

#include "files/file_system.h"
#include "platform/host.h"

class QDialog;
class QWidget;

namespace pictavo {

// Translates the save dialog's filter text "desc|pattern|desc|pattern|" into Qt's name
// filters ("desc (pattern)"). A text without any "|" is one entry that is its own pattern.
[[nodiscard]] QStringList qtNameFilters(const std::string& filter);

// The folder the program and the save box start in, as native bytes. Needs no application
// object, so that the folder can be read while Qt starts.
[[nodiscard]] std::string startFolderPath();

class QtHost : public Host {
public:
    // Creates a window of the program, owned by the caller; the host shows it modally.
    using WindowFactory = std::function<QDialog*(QWidget* parent)>;

    QtHost();
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    // The main window: the parent of every box, and what Unload("Form1") closes.
    void setMainWindow(QWidget* window);
    // The windows that Show can open, by name ("frmAbout"). The widgets live above the host,
    // so they register here instead of the host knowing them.
    void setWindowFactory(const std::string& name, WindowFactory factory);

    MsgResult MsgBox(const std::string& prompt, MsgFlags flags,
                     const std::optional<std::string>& title = std::nullopt) override;
    void SetMousePointer(MousePointer pointer) override;
    bool ShowSave(SaveDialogState& dialog) override;

    [[nodiscard]] FileSystem& files() override { return files_; }
    [[nodiscard]] PicturePipeline& pictures() override { return pictures_; }

    [[nodiscard]] float TwipsPerPixelX() const override;
    [[nodiscard]] float TwipsPerPixelY() const override;

    std::string StartDrive() override;
    std::string StartFolder() override;

    void ClipboardClear() override;
    void ClipboardSetData(const Picture& picture) override;
    ClipboardPicture ClipboardGetData() override;
    bool ClipboardHasBitmap() override;
    bool ClipboardHoldsOwnPicture() override;

    void Show(const std::string& window) override;
    void Unload(const std::string& window) override;

    int SystemParametersInfoA(unsigned action, unsigned param, const std::string& text, unsigned flags) override;

private:
    // The mounted volumes are read afresh whenever the drive list asks.
    PicturePipeline pictures_;
    FileSystem files_{FileSystem::VolumeReader(systemVolumes)};
    QPointer<QWidget> mainWindow_;
    std::map<std::string, WindowFactory> factories_;
    std::map<std::string, QPointer<QDialog>> open_;
    int waitCursors_ = 0;
    // Marks what this run of the program put on the clipboard, so that it can tell its own
    // picture from anything copied since, also after a clipboard manager took it over.
    QByteArray clipboardToken_;
};

}  // namespace pictavo
