// SPDX-License-Identifier: MIT
#pragma once
// A scripted host over real files in a temporary folder: message-box and dialog answers
// are given in advance and every call to the user-facing services is recorded. Files and
// folders are the real file system, in either path syntax.

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/file_system.h"
#include "imaging/clipboard_picture.h"
#include "platform/host.h"

namespace pictavo::test {

// A temporary folder that is removed with everything in it; in the system's temporary
// folder, or under `parent`.
class TempDir {
public:
    explicit TempDir(const std::filesystem::path& parent = std::filesystem::temp_directory_path());
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct MsgBoxCall {
    std::string prompt;
    MsgFlags flags;
    std::optional<std::string> title;
};

class TestHost : public Host {
public:
    // Drives "/" and "/media/pictavo-offline" (never ready); the program starts in
    // <temp>/Pictures.
    TestHost();
    // One more drive, as a mounted volume would be: the folder <temp>/<name>. Returns its
    // drive text.
    std::string addDrive(const std::string& name, const std::string& label);

    // A path of the handlers as a file-system path, and back (normalised).
    [[nodiscard]] std::filesystem::path real(const std::string& hostPath) const { return files_.toNative(hostPath); }
    [[nodiscard]] std::string hostPath(const std::filesystem::path& native) const { return files_.fromNative(native); }
    [[nodiscard]] const std::filesystem::path& root() const { return temp_.path(); }
    // The folder the program starts in, as a real path.
    [[nodiscard]] std::filesystem::path startFolder() const;

    // Scripted answers; an empty queue answers OK.
    std::deque<MsgResult> msgBoxAnswers;
    // Paths chosen in the save dialog; nullopt is Cancel. An empty queue cancels.
    std::deque<std::optional<std::string>> saveAnswers;
    int wallpaperResult = 1;

    // What the program did.
    std::vector<MsgBoxCall> messages;
    std::vector<MousePointer> pointers;
    std::vector<SaveDialogState> dialogs;
    std::vector<std::string> shown;
    std::vector<std::string> unloaded;
    struct WallpaperCall {
        unsigned action, param;
        std::string text;
        unsigned flags;
    };
    std::vector<WallpaperCall> wallpaperCalls;

    // The clipboard: a picture, text from another program, or nothing. Whatever a test
    // puts here directly counts as copied by another program.
    std::optional<Picture> clipboardPicture;
    bool clipboardHasText = false;
    // True while the clipboard holds what this program put there.
    bool clipboardOwn = false;
    int clipboardClears = 0;
    // The bytes of a picture format that another program offers ("image/png").
    std::optional<ClipboardPicture> clipboardBytes;
    void otherProgramOffers(const char* format, const QByteArray& bytes);
    // Another program copies a picture or text, taking the clipboard over.
    void otherProgramCopies(const Picture& picture);
    void otherProgramCopiesText();

    MsgResult MsgBox(const std::string& prompt, MsgFlags flags, const std::optional<std::string>& title) override;
    void SetMousePointer(MousePointer pointer) override;
    bool ShowSave(SaveDialogState& dialog) override;
    [[nodiscard]] FileSystem& files() override { return files_; }
    [[nodiscard]] const FileSystem& files() const { return files_; }
    [[nodiscard]] PicturePipeline& pictures() override { return pictures_; }
    [[nodiscard]] float TwipsPerPixelX() const override { return 15; }
    [[nodiscard]] float TwipsPerPixelY() const override { return 15; }
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
    TempDir temp_;
    PicturePipeline pictures_;
    std::vector<Volume> volumes_;
    FileSystem files_;
};

// Writes a picture file of the given size, filled with one colour, in the format that the
// name's extension asks for ("jpg", "bmp"; "gif" writes a small fixed GIF).
// A picture of one colour, made in memory.
Picture solidPicture(int width, int height, unsigned rgb = 0xc80a0a);

// The home trash of the test run (under the XDG_DATA_HOME that the test main sets).
std::filesystem::path homeTrash();

void writePicture(const std::filesystem::path& file, int width, int height, unsigned rgb = 0x3366cc);
// A JPEG of `image` at quality 90, as cameras and editors write them.
QByteArray jpegOf(const QImage& image, bool progressive = false,
                  QImageIOHandler::Transformations turn = QImageIOHandler::TransformationNone);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);
std::string readBytes(const std::filesystem::path& file);

}  // namespace pictavo::test
