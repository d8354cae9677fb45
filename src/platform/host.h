// SPDX-License-Identifier: MIT
#pragma once
// The services that differ between the Qt desktop and the tests: the user (boxes, the
// save dialog, the cursor), the clipboard, windows, the wall paper, the screen's units and
// where the program starts. Files and folders are one real FileSystem, reached through
// files(). Paths are native POSIX paths; file names keep their native bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/translation.h"
#include "imaging/clipboard_picture.h"
#include "imaging/picture.h"

namespace pictavo {

inline constexpr const char* kSaveDialogTitle = QT_TRANSLATE_NOOP("pictavo", "Bitmapの保存");

enum class MsgFlags : int {
    OkOnly = 0,
    OkCancelQuestion = 33,
    OkCancelExclamation = 49,
    OkCancelInformation = 65,
};

enum class MsgResult : int { Ok = 1, Cancel = 2 };

enum class MousePointer : int { Default = 0, Hourglass = 11 };

// Properties of the common save dialog that the save commands set and read.
struct SaveDialogState {
    std::string dialogTitle = translated(kSaveDialogTitle);
    std::string initDir;   // starting folder; set by the host at start-up
    std::string fileName;  // kept between uses
    std::string filter;    // "desc|pattern|desc|pattern|"
    std::int32_t flags = 0;
    bool cancelError = false;
};

class FileSystem;
class PicturePipeline;

class Host {
public:
    virtual ~Host() = default;

    // --- user -------------------------------------------------------------------------
    virtual MsgResult MsgBox(const std::string& prompt, MsgFlags flags,
                             const std::optional<std::string>& title = std::nullopt) = 0;
    virtual void SetMousePointer(MousePointer pointer) = 0;
    // Opens the save box. Returns false on cancel, or throws when cancelError is set.
    virtual bool ShowSave(SaveDialogState& dialog) = 0;

    // --- files ------------------------------------------------------------------------
    // Files, folders and pictures.
    [[nodiscard]] virtual FileSystem& files() = 0;
    // Every picture that comes in, from a file or the clipboard, and those decoded ahead.
    [[nodiscard]] virtual PicturePipeline& pictures() = 0;

    // --- screen and start-up ----------------------------------------------------------
    // Twips per device pixel, from the screen's resolution (15 at 96 DPI).
    [[nodiscard]] virtual float TwipsPerPixelX() const = 0;
    [[nodiscard]] virtual float TwipsPerPixelY() const = 0;
    // Where the program starts: "/" and the user's pictures folder (the home folder where
    // there is none).
    virtual std::string StartDrive() = 0;
    virtual std::string StartFolder() = 0;

    // --- clipboard --------------------------------------------------------------------
    virtual void ClipboardClear() = 0;
    virtual void ClipboardSetData(const Picture& picture) = 0;
    // What the clipboard offers, not yet decoded (no format when it offers no picture):
    // another program's picture is untrusted input, opened as a file is.
    virtual ClipboardPicture ClipboardGetData() = 0;
    virtual bool ClipboardHasBitmap() = 0;
    // True while the clipboard still holds the picture this program put there, and not
    // something another program copied since.
    virtual bool ClipboardHoldsOwnPicture() = 0;

    // --- windows ----------------------------------------------------------------------
    // Shows a window of the program modally (loading it first) and returns when it closes.
    virtual void Show(const std::string& window) = 0;
    // Closes a window; unloading the main window ends the program.
    virtual void Unload(const std::string& window) = 0;

    // --- desktop ----------------------------------------------------------------------
    // The wall-paper call: returns non-zero on success.
    virtual int SystemParametersInfoA(unsigned action, unsigned param, const std::string& text, unsigned flags) = 0;
};

}  // namespace pictavo
