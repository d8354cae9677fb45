#pragma once
// The services that every handler reaches files, the clipboard and the user through.
// Paths are the host's own text: POSIX paths on Linux, or "c:\..." on a host with
// Windows syntax. File names keep their native bytes.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/picture.h"

namespace pictavo {

// A failing host operation. The text is meant for the person using the program.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
    std::string dialogTitle = "Bitmapの保存";
    std::string initDir;       // starting folder; set by the host at start-up
    std::string fileName;      // kept between uses
    std::string filter;        // "desc|pattern|desc|pattern|"
    std::int32_t flags = 0;
    bool cancelError = false;
};

struct FolderEntry {
    std::string name;  // native bytes
};

class Host {
public:
    virtual ~Host() = default;

    // --- user -------------------------------------------------------------------------
    virtual MsgResult MsgBox(const std::string& prompt, MsgFlags flags,
                             const std::optional<std::string>& title = std::nullopt) = 0;
    virtual void SetMousePointer(MousePointer pointer) = 0;
    // Opens the save box. Returns false on cancel, or throws when cancelError is set.
    virtual bool ShowSave(SaveDialogState& dialog) = 0;

    // --- pictures ---------------------------------------------------------------------
    virtual Picture LoadPicture(const std::string& path) = 0;
    virtual void SavePicture(const Picture& picture, const std::string& path) = 0;
    // Twips per device pixel, from the screen's resolution (15 at 96 DPI).
    [[nodiscard]] virtual float TwipsPerPixelX() const = 0;
    [[nodiscard]] virtual float TwipsPerPixelY() const = 0;

    // --- files ------------------------------------------------------------------------
    // The file's name if a normal file of that path exists, else "".
    virtual std::string Dir(const std::string& path) = 0;
    // True when anything has that path: a file, a folder, a FIFO, a link (even one that
    // points nowhere). Throws when the path cannot be searched or is too long.
    virtual bool EntryExists(const std::string& path) = 0;
    virtual std::int64_t FileLen(const std::string& path) = 0;
    // Moves the file to the desktop's trash, or deletes it where its volume has none.
    virtual void Kill(const std::string& path) = 0;

    // --- drives and folders, for the three list controls -------------------------------
    // The host's path separator, inserted and tested by the handlers.
    [[nodiscard]] virtual char Separator() const = 0;
    // Drive texts as the drive list's Drive property returns them ("c:" or "/").
    virtual std::vector<std::string> Drives() = 0;
    // Display text of a drive in the drive list.
    virtual std::string DriveLabel(const std::string& drive) = 0;
    // The drive that holds a path or drive text; throws when there is none.
    virtual std::string DriveOf(const std::string& pathOrDrive) = 0;
    // True when the text names a drive as Drive returns it (opens its current folder).
    virtual bool IsDriveText(const std::string& text) = 0;
    // The folder last opened on a drive (its root at first).
    virtual std::string CurrentFolder(const std::string& drive) = 0;
    // Normalises a folder path and checks that it can be read; throws HostError if not.
    virtual std::string OpenFolder(const std::string& path) = 0;
    // Remembers an opened folder as its drive's current folder.
    virtual void SetCurrentFolder(const std::string& path) = 0;
    // The chain from the drive root down to the folder itself, as full paths.
    virtual std::vector<std::string> FolderChain(const std::string& path) = 0;
    // Names of the visible subfolders, in natural order.
    virtual std::vector<std::string> SubFolders(const std::string& path) = 0;
    // Names of the visible files matching the pattern ("*.jpg*;*.bmp*"), in natural order.
    virtual std::vector<std::string> Files(const std::string& path, const std::string& pattern) = 0;
    // Where the program starts: "c:\" and "c:\WINDOWS\" on a host with Windows syntax; on
    // Linux "/" and the user's pictures folder (the home folder where there is none).
    virtual std::string StartDrive() = 0;
    virtual std::string StartFolder() = 0;
    // Joins a folder path and a name the way the folder list does (no doubled separator).
    virtual std::string Join(const std::string& folder, const std::string& name) = 0;
    // Events nest; while one runs, the host may answer SubFolders and Files for one folder
    // from a single read of it (a folder change fills both lists in one event).
    virtual void EventStarted() {}
    virtual void EventEnded() {}

    // --- clipboard --------------------------------------------------------------------
    virtual void ClipboardClear() = 0;
    virtual void ClipboardSetData(const Picture& picture) = 0;
    virtual Picture ClipboardGetData() = 0;
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
    virtual int SystemParametersInfoA(unsigned action, unsigned param, const std::string& text,
                                      unsigned flags) = 0;
};

}  // namespace pictavo
