// SPDX-License-Identifier: MIT
#include "controls/controls.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "files/file_system.h"
#include "platform/host.h"

namespace pictavo {

// --- Control ----------------------------------------------------------------------------

Control::Control(std::string name, Place place) : name_(std::move(name)), place_(place) {}

void Control::observe(std::function<void()> observer) { observers_.push_back(std::move(observer)); }

void Control::changed() {
    for (const auto& o : observers_) o();
}

void Control::setEnabled(bool on) {
    if (enabled_ == on) return;
    enabled_ = on;
    changed();
}

void Control::setVisible(bool on) {
    if (visible_ == on) return;
    visible_ = on;
    changed();
}

void Control::setLeft(float v) {
    place_.left = v;
    changed();
}
void Control::setTop(float v) {
    place_.top = v;
    changed();
}
void Control::setWidth(float v) {
    if (v < 0) throw HostError("Invalid property value");
    place_.width = v;
    changed();
}
void Control::setHeight(float v) {
    if (v < 0) throw HostError("Invalid property value");
    place_.height = v;
    changed();
}

void Control::setToolTip(std::string text) {
    toolTip_ = std::move(text);
    changed();
}

void Command::click() {
    if (enabled() && onClick) onClick();
}

MenuItem::MenuItem(std::string name, std::string caption, int index)
    : Command(std::move(name)), caption_(std::move(caption)), index_(index) {}

Frame::Frame(std::string name, int index, Place place) : Control(std::move(name), place), index_(index) {}

void TextBox::setText(std::string text) {
    if (text_ == text) return;
    text_ = std::move(text);
    changed();
}

// --- ScrollBar --------------------------------------------------------------------------

ScrollBar::ScrollBar(std::string name, Orientation orientation) : Control(std::move(name)), orientation_(orientation) {}

void ScrollBar::setValue(std::int32_t v) {
    // Min is 0; a Max below it turns the range round, as scroll bars allow.
    if (v < std::min<std::int32_t>(0, max_) || v > std::max<std::int32_t>(0, max_))
        throw HostError("Invalid property value");
    if (v == value_) return;
    value_ = v;
    changed();
    if (onChange) onChange();
}

void ScrollBar::setMax(std::int32_t m) {
    max_ = m;
    const std::int32_t clamped =
        std::clamp<std::int32_t>(value_, std::min<std::int32_t>(0, m), std::max<std::int32_t>(0, m));
    if (clamped != value_) {
        value_ = clamped;
        changed();
        if (onChange) onChange();
        return;
    }
    changed();
}

void ScrollBar::userScrollTo(std::int64_t v) {
    setValue(static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, std::max<std::int32_t>(max_, 0))));
}

// --- Timer, Slider ----------------------------------------------------------------------

void Timer::setInterval(int ms) {
    if (ms < 0) throw HostError("Invalid property value");
    interval_ = ms;
    changed();
}

void Timer::tick() {
    if (enabled() && onTimer) onTimer();
}

Slider::Slider(std::string name, Place place, int min, int max)
    : Control(std::move(name), place), min_(min), max_(max), value_(min) {}

void Slider::setValue(int v) {
    v = std::clamp(v, min_, max_);
    if (v == value_) return;
    value_ = v;
    changed();
}

void Slider::userScroll(int v) {
    if (!enabled()) return;
    setValue(v);
    if (onScroll) onScroll();
}

// --- StatusBar --------------------------------------------------------------------------

StatusBar::StatusBar(std::string name) : Control(std::move(name)) {
    panels_ = {{PanelStyle::Text, {}, 2600},
               {PanelStyle::Text, {}, 900},
               {PanelStyle::Date, {}, 1000},
               {PanelStyle::Time, {}, 700}};
}

const StatusPanel& StatusBar::panel(int index) const {
    if (index < 1 || index > panelCount()) throw HostError("Index out of bounds");
    return panels_[static_cast<std::size_t>(index - 1)];
}

void StatusBar::setPanelText(int index, std::string text) {
    if (index < 1 || index > panelCount()) throw HostError("Index out of bounds");
    panels_[static_cast<std::size_t>(index - 1)].text = std::move(text);
    changed();
}

std::string StatusBar::displayText(int index) const {
    const auto& p = panel(index);
    if (p.style == PanelStyle::Text) return p.text;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, p.style == PanelStyle::Date ? "%Y/%m/%d" : "%H:%M", &local);
    return buffer;
}

// --- DriveList --------------------------------------------------------------------------

DriveList::DriveList(std::string name, Place place, FileSystem& files)
    : Control(std::move(name), place), files_(files) {
    refreshDrives();
}

void DriveList::refreshDrives() {
    drives_ = files_.Drives();
    changed();
}

std::string DriveList::label(std::size_t row) const {
    return row < drives_.size() ? files_.DriveLabel(drives_[row]) : std::string();
}

void DriveList::setDrive(const std::string& driveOrPath) {
    const std::string drive = files_.DriveOf(driveOrPath);
    if (drive == drive_) return;
    drive_ = drive;
    changed();
    if (onChange) onChange();
}

// --- DirList ----------------------------------------------------------------------------

DirList::DirList(std::string name, Place place, FileSystem& files) : Control(std::move(name), place), files_(files) {}

std::vector<FolderRow> DirList::readRows(const std::string& folder) const {
    std::vector<FolderRow> rows;
    const auto chain = files_.FolderChain(folder);
    int depth = 0;
    for (const auto& p : chain) {
        std::string shown = p;
        if (depth > 0) {
            const auto cut = p.find_last_of(files_.Separator());
            shown = cut == std::string::npos ? p : p.substr(cut + 1);
        }
        rows.push_back({p, shown, depth++, true});
    }
    for (const auto& sub : files_.SubFolders(folder)) rows.push_back({files_.Join(folder, sub), sub, depth, false});
    return rows;
}

void DirList::setPath(const std::string& path) { open(files_.OpenFolder(path)); }

void DirList::open(const std::string& folder) {
    auto rows = readRows(folder);  // may throw: nothing has changed yet
    const bool same = folder == path_;
    path_ = folder;
    rows_ = std::move(rows);
    // The open folder is the last row of its chain.
    selected_ =
        static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const FolderRow& r) { return r.open; })) - 1;
    files_.SetCurrentFolder(folder);
    changed();
    if (!same && onChange) onChange();
}

void DirList::refresh() {
    if (path_.empty()) return;
    rows_ = readRows(path_);
    selected_ = std::min<int>(selected_, static_cast<int>(rows_.size()) - 1);
    changed();
}

void DirList::userSelect(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    selected_ = row;
    changed();
    if (onClick) onClick();
}

void DirList::userOpen(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    // A row is a folder: the root row of "/" or of a mount point opens that folder itself,
    // not the drive's current folder that the same text names when set as the Path.
    open(files_.OpenFolder(rows_[static_cast<std::size_t>(row)].path, FileSystem::DriveText::AsFolder));
}

// --- FileList ---------------------------------------------------------------------------

FileList::FileList(std::string name, Place place, FileSystem& files, std::string pattern)
    : Control(std::move(name), place), files_(files), pattern_(std::move(pattern)) {}

void FileList::setPath(const std::string& path) {
    const std::string folder = files_.OpenFolder(path);
    auto names = std::make_shared<const std::vector<std::string>>(files_.Files(folder, pattern_));
    path_ = folder;
    names_ = std::move(names);
    ++listing_;
    index_ = -1;
    unlisted_.clear();
    changed();
}

void FileList::setListIndex(std::int32_t index) {
    if (index < -1 || index >= listCount()) throw HostError("Invalid property value");
    if (index == index_) return;
    index_ = index;
    if (index >= 0) unlisted_.clear();
    changed();
    if (onClick) onClick();
}

std::string FileList::fileName() const { return index_ >= 0 ? (*names_)[static_cast<std::size_t>(index_)] : unlisted_; }

void FileList::setSelected(std::int32_t row, bool on) {
    if (row < 0 || row >= listCount()) throw HostError("Invalid property value");
    if (on) {
        index_ = row;
        unlisted_.clear();
    } else if (index_ == row) {
        index_ = -1;
    }
    changed();
}

void FileList::refresh() {
    if (path_.empty()) return;
    const std::string keep = index_ >= 0 ? fileName() : std::string();
    auto names = files_.Files(path_, pattern_);
    if (names != *names_) {
        names_ = std::make_shared<const std::vector<std::string>>(std::move(names));
        ++listing_;
    }
    index_ = -1;
    if (!keep.empty()) {
        const auto it = std::find(names_->begin(), names_->end(), keep);
        if (it != names_->end()) index_ = static_cast<std::int32_t>(it - names_->begin());
    }
    changed();
}

void FileList::userClick(std::int32_t row) {
    if (row < 0 || row >= listCount()) return;
    index_ = row;
    unlisted_.clear();
    changed();
    if (onClick) onClick();
}

void FileList::clickUnlisted(std::string name) {
    index_ = -1;
    unlisted_ = std::move(name);
    changed();
    if (onClick) onClick();
}

// --- Image ------------------------------------------------------------------------------

void Image::setPicture(Picture picture, float twipsPerPixelX, float twipsPerPixelY) {
    picture_ = std::move(picture);
    setWidth(static_cast<float>(picture_.widthPx()) * twipsPerPixelX);
    setHeight(static_cast<float>(picture_.heightPx()) * twipsPerPixelY);
}

}  // namespace pictavo
