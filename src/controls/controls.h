// SPDX-License-Identifier: MIT
#pragma once
// Toolkit-free controls. Each keeps the properties the handlers use, in their units
// (twips as float, indexes and scroll values as 32-bit integers), raises its events at
// once and nested when a property that raises one is set, and tells its observers (the
// widgets) after each change.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/picture.h"

namespace pictavo {

class FileSystem;

struct Place {
    float left = 0, top = 0, width = 0, height = 0;
};

class Control {
public:
    explicit Control(std::string name, Place place = {});
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    [[nodiscard]] bool visible() const { return visible_; }
    void setVisible(bool on);
    [[nodiscard]] const Place& place() const { return place_; }
    void setLeft(float v);
    void setTop(float v);
    void setWidth(float v);
    void setHeight(float v);
    [[nodiscard]] const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string text);

    // Called after every change of a property; returns nothing and must not throw.
    void observe(std::function<void()> observer);

protected:
    void changed();

private:
    std::string name_;
    Place place_;
    bool enabled_ = true;
    bool visible_ = true;
    std::string toolTip_;
    std::vector<std::function<void()>> observers_;
};

// A button or menu entry: a click reaches its handler only while it is enabled.
class Command : public Control {
public:
    using Control::Control;
    std::function<void()> onClick;
    void click();
};

class Button : public Command {
public:
    using Command::Command;
};

class MenuItem : public Command {
public:
    MenuItem(std::string name, std::string caption, int index);
    [[nodiscard]] const std::string& caption() const { return caption_; }
    [[nodiscard]] int index() const { return index_; }

private:
    std::string caption_;
    int index_;
};

class TextBox : public Control {
public:
    using Control::Control;
    [[nodiscard]] const std::string& text() const { return text_; }
    void setText(std::string text);

private:
    std::string text_;
};

class Frame : public Control {
public:
    Frame(std::string name, int index, Place place);
    [[nodiscard]] int index() const { return index_; }

private:
    int index_;
};

enum class Orientation { Horizontal, Vertical };

class ScrollBar : public Control {
public:
    ScrollBar(std::string name, Orientation orientation);
    std::function<void()> onChange;

    [[nodiscard]] Orientation orientation() const { return orientation_; }
    [[nodiscard]] std::int32_t value() const { return value_; }
    [[nodiscard]] std::int32_t max() const { return max_; }
    [[nodiscard]] std::int32_t min() const { return 0; }
    [[nodiscard]] std::int32_t smallChange() const { return 50; }
    [[nodiscard]] std::int32_t largeChange() const { return 300; }

    // Throws HostError outside 0..Max; raises Change when the value really changes.
    void setValue(std::int32_t v);
    // A smaller Max pulls the value into range, which raises Change.
    void setMax(std::int32_t m);
    // What the user does: an arrow, the track, a released thumb. Stops at the ends.
    void userScrollTo(std::int64_t v);

private:
    Orientation orientation_;
    std::int32_t value_ = 0;
    std::int32_t max_ = 32767;
};

class Timer : public Control {
public:
    using Control::Control;
    std::function<void()> onTimer;
    [[nodiscard]] int interval() const { return interval_; }
    void setInterval(int ms);
    // One tick of the window timer; nothing happens while it is disabled.
    void tick();

private:
    int interval_ = 1000;
};

class Slider : public Control {
public:
    Slider(std::string name, Place place, int min, int max);
    std::function<void()> onScroll;
    [[nodiscard]] int value() const { return value_; }
    [[nodiscard]] int min() const { return min_; }
    [[nodiscard]] int max() const { return max_; }
    void setValue(int v);
    // The user moves the thumb: the value follows and Scroll is raised.
    void userScroll(int v);

private:
    int min_, max_, value_;
};

enum class PanelStyle { Text, Date, Time };

struct StatusPanel {
    PanelStyle style = PanelStyle::Text;
    std::string text;
    float minWidth = 0;
};

class StatusBar : public Control {
public:
    explicit StatusBar(std::string name);
    // Panels are addressed from 1, as the handlers do.
    [[nodiscard]] const StatusPanel& panel(int index) const;
    void setPanelText(int index, std::string text);
    // The text a person sees in a panel; date and time panels keep themselves current.
    [[nodiscard]] std::string displayText(int index) const;
    [[nodiscard]] int panelCount() const { return static_cast<int>(panels_.size()); }

private:
    std::vector<StatusPanel> panels_;
};

class DriveList : public Control {
public:
    DriveList(std::string name, Place place, FileSystem& files);
    std::function<void()> onChange;
    [[nodiscard]] const std::string& drive() const { return drive_; }
    // A drive or any path on it selects that drive; raises Change when it is another one.
    void setDrive(const std::string& driveOrPath);
    [[nodiscard]] const std::vector<std::string>& drives() const { return drives_; }
    [[nodiscard]] std::string label(std::size_t row) const;
    void refreshDrives();

private:
    FileSystem& files_;
    std::vector<std::string> drives_;
    std::string drive_;
};

struct FolderRow {
    std::string path;   // full path
    std::string name;   // what the row shows
    int depth = 0;      // indentation
    bool open = false;  // part of the open folder's chain
};

class DirList : public Control {
public:
    DirList(std::string name, Place place, FileSystem& files);
    std::function<void()> onChange;
    std::function<void()> onClick;

    [[nodiscard]] const std::string& path() const { return path_; }
    // Opens a folder (or a drive's current folder); raises Change when the folder changes.
    // A folder that cannot be read throws before anything changes.
    void setPath(const std::string& path);
    [[nodiscard]] const std::vector<FolderRow>& rows() const { return rows_; }
    [[nodiscard]] int selectedRow() const { return selected_; }
    // A single click selects a row and raises Click; the open folder stays.
    void userSelect(int row);
    // A double click (or Enter) opens the row's folder.
    void userOpen(int row);
    // Re-reads the open folder's subfolders.
    void refresh();

private:
    std::vector<FolderRow> readRows(const std::string& folder) const;
    void open(const std::string& folder);
    FileSystem& files_;
    std::string path_;
    std::vector<FolderRow> rows_;
    int selected_ = -1;
};

class FileList : public Control {
public:
    FileList(std::string name, Place place, FileSystem& files, std::string pattern);
    std::function<void()> onClick;

    [[nodiscard]] const std::string& path() const { return path_; }
    // Fills the list with the folder's matching names; nothing is selected afterwards.
    void setPath(const std::string& path);
    [[nodiscard]] const std::string& pattern() const { return pattern_; }
    [[nodiscard]] std::int32_t listCount() const { return static_cast<std::int32_t>(names_->size()); }
    [[nodiscard]] std::int32_t listIndex() const { return index_; }
    // Selects a row (-1: none); raises Click when the selection changes.
    void setListIndex(std::int32_t index);
    // The selected name without its folder; with nothing selected, the unlisted file's
    // name (see clickUnlisted) or "".
    [[nodiscard]] std::string fileName() const;
    [[nodiscard]] const std::vector<std::string>& names() const { return *names_; }
    // The same names, shared: a view keeps the listing it shows without copying it.
    [[nodiscard]] std::shared_ptr<const std::vector<std::string>> sharedNames() const { return names_; }
    // Counts the times the names were read, so a view can tell a new listing cheaply.
    [[nodiscard]] std::uint64_t listing() const { return listing_; }
    [[nodiscard]] bool selected(std::int32_t row) const { return row == index_ && row >= 0; }
    // Clearing the selected row's flag leaves nothing selected, without a Click.
    void setSelected(std::int32_t row, bool on);
    // Re-reads the folder, keeping the selected name where it is still listed.
    void refresh();
    // The user clicks a row or moves onto it with the keyboard: always raises Click.
    void userClick(std::int32_t row);
    // Raises Click for a file of this folder that the pattern leaves out (one given on the
    // command line): with no row selected, fileName() names it, so it opens and its name
    // shows like a listed one, while the rows stay as the pattern lists them. Selecting a
    // row or opening another folder forgets it.
    void clickUnlisted(std::string name);
    // fileName() names such an unlisted file.
    [[nodiscard]] bool unlistedShown() const { return index_ < 0 && !unlisted_.empty(); }

private:
    FileSystem& files_;
    std::string pattern_;
    std::string path_;
    std::shared_ptr<const std::vector<std::string>> names_ = std::make_shared<const std::vector<std::string>>();
    std::int32_t index_ = -1;
    std::string unlisted_;
    std::uint64_t listing_ = 0;
};

class Image : public Control {
public:
    using Control::Control;
    [[nodiscard]] const Picture& picture() const { return picture_; }
    // Takes the picture at its natural size: one picture pixel to one device pixel.
    void setPicture(Picture picture, float twipsPerPixelX, float twipsPerPixelY);

private:
    Picture picture_;
};

class PictureBox : public Control {
public:
    using Control::Control;
};

}  // namespace pictavo
